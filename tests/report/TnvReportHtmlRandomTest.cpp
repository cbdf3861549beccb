// Randomized templates against the parser: no crash, no read outside a buffer
// (the sanitizer builds watch), only the component's own errors, bounded time.
#include "ReportTestSupport.h"
#include "TnvReportHtml.h"

#include <QElapsedTimer>
#include <array>
#include <random>

namespace {

class ReportRandom : public TReportFixture {};

const std::array<const char*, 34> kFragments = {
    "<#",          "PAR",   "BLOCK",   "SWITCH",     "TABLE",   " ",       "\t",
    ">",           "\"",    "=",       "GET=",       "IF=",     "THEN=",   "ELSE=",
    "CASE=",       "GET2=", ":",       "!",          "V18:0:3", "V4:-1:7", "V7",
    "I1",          "S<b>",  "Fr.html", "Fself.html", "D4:300",  "M",       "X",
    "99999999999", "-1",    "<",       "\xc3\xa9",   "FILTER=", "\n"};

QByteArray RandomTemplate(std::mt19937& random) {
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<std::size_t> pick(0, kFragments.size() - 1);
    QByteArray text;
    for (int n = length(random); n > 0; --n)
        text += kFragments[pick(random)];
    return text;
}

TEST_F(ReportRandom, RandomTemplatesEndInTextOrTheComponentsErrors) {
    std::mt19937 random(20261207);
    TnvReportHtml report;
    report.SetValueSet(&FSet);
    report.OnCondition = [](TnvReportHtml*, const QString& tag) {
        return tag.size() % 2 == 1;
    };
    Write("self.html", "<#PAR GET=Fself.html>");
    QElapsedTimer clock;
    clock.start();
    int runs = 0;
    // Bounded in time for a loaded machine and the sanitizers.
    for (; runs < 2000 && clock.elapsed() < 8000; ++runs) {
        if (runs % 10 == 0)
            Write("r.html", RandomTemplate(random));
        const QByteArray text = RandomTemplate(random);
        Write("t.html", text);
        try {
            const QString result = report.CompileModel(Path("t.html"));
            if (!text.contains("<#")) {
                ASSERT_EQ(result, QString::fromUtf8(text));
            }
        } catch (const TnvError&) {
        }
    }
    EXPECT_GE(runs, 20);
}

} // namespace

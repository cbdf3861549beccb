#include "ParamsTestSupport.h"
#include "TnvIniFile.h"
#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QRegularExpression>
#include <random>

namespace {

// Only these errors may come out of malformed input.
bool IsDocumentedError(const QString& message) {
    static const QRegularExpression documented(
        "^('.*' is not a valid (integer value|index range)"
        "|Wrong data type!"
        "|\\w+: (Bad buffer pointer|Bad format pointer|Element index out of range)\\."
        "|Invalid argument to (date|time) encode)$",
        QRegularExpression::DotMatchesEverythingOption);
    return documented.match(message).hasMatch();
}

class Random {
public:
    explicit Random(unsigned seed)
        : FEngine(seed) {}
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(FEngine); }
    template <typename T>
    const T& Pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(Below(int(items.size())))];
    }
    QString Text(const QString& alphabet, int maxLength) {
        QString text;
        for (int n = Below(maxLength + 1); n > 0; --n)
            text += alphabet[Below(int(alphabet.size()))];
        return text;
    }

private:
    std::mt19937 FEngine;
};

TEST(Robustness, MalformedIndexListsGiveResultsOrConversionErrors) {
    TTempIni ini("[Par-1]\nType=3\n[Par-2]\nType=1\n[Par-30]\nType=3\n");
    Random random(720);
    for (int round = 0; round < 1000; ++round) {
        TnvParDefSet defs;
        ASSERT_TRUE(defs.LoadFromFile(ini.Path()));
        TnvParValueSet values;
        const QString list = random.Text("0123456789,/ -x$", 14);
        const QString message = ErrorOf([&] {
            defs.AddParDefFromIdxList(list);
            values.AddParBindsFromIdxList(&defs, list);
        });
        EXPECT_TRUE(message.isEmpty() || IsDocumentedError(message))
            << list.toStdString() << " -> " << message.toStdString();
        EXPECT_LE(values.GetCountParBind(), defs.GetCountParDef()) << list.toStdString();
    }
}

// A parameter section of random keys and values, loaded and then used through
// every accessor with random element and flag numbers.
TEST(Robustness, MalformedParameterSectionsNeverGiveUndocumentedErrors) {
    const std::vector<QString> keys{"RegAddr",      "RegQtty",   "RegProg",    "Name",
                                    "Descr",        "Type",      "Length",     "Unsigned",
                                    "Readonly",     "UseFormat", "FormatNorm", "FormatOffset",
                                    "FormatString", "FormatMask"};
    const std::vector<QString> values{
        "",      "0",        "1",           "2",    "3",      "5",   "6",
        "7",     "8",        "255",         "-1",   "0x",     "$",   "0xFFFFFFFFFF",
        "1e400", "nan",      "0,5",         "  7 ", "F",      "[x]", "=",
        "000.0", "hh:nn:ss", "0;-0;'zero'", "E+",   "ON/OFF", "\"",  "#,##0.00"};
    Random random(2007);
    for (int round = 0; round < 1500; ++round) {
        QString text = "[Fmt]\nFormatString=" + random.Pick(values) + "\n[Par-5]\n";
        for (int n = random.Below(12); n > 0; --n)
            text += random.Pick(keys) + "=" + random.Pick(values) + "\n";
        if (random.Below(2))
            text += "Type=" + QString::number(random.Below(9)) + "\n";
        TnvParDef def;
        ASSERT_NO_THROW(def.LoadFromIni(TnvIniFile::FromText(text), 5)) << text.toStdString();
        if (!def.Valid)
            continue;
        TnvParValue value(nullptr, &def);
        Bytes frame(static_cast<std::size_t>(random.Below(def.GetSize() + 6)));
        for (auto& byte : frame)
            byte = static_cast<std::uint8_t>(random.Below(256));
        value.LoadFromFrame(frame);
        const auto i = static_cast<std::uint8_t>(random.Below(4) == 0 ? random.Below(256) : 0);
        const auto b = static_cast<std::uint8_t>(random.Below(40));
        const std::vector<std::function<void()>> uses{
            [&] { value.GetValueText(i, b); },       [&] { value.GetValueNumText(i); },
            [&] { value.GetValueDouble(i); },        [&] { value.GetValueUShort(i); },
            [&] { value.SetValueBit(i, b, true); },  [&] { value.GetValueDate(i, 2000); },
            [&] { value.SetValueDate(i, 45000.5); }, [&] { value.GetValueTime(i); },
            [&] { value.SetValueTime(i, 0.75); },    [&] { value.SetValueString("abc"); },
            [&] { value.GetValueString(); },         [&] { value.SetValueLong(i, -7); },
        };
        for (const auto& use : uses) {
            const QString message = ErrorOf(use);
            EXPECT_TRUE(message.isEmpty() || IsDocumentedError(message))
                << text.toStdString() << " -> " << message.toStdString();
        }
    }
}

} // namespace

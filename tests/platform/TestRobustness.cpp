#include "NvConvert.h"
#include "NvFormat.h"
#include "TnvError.h"
#include "TnvIniFile.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

// Malformed input fed to the real code with a fixed seed: only results or the
// documented errors may come out, never a crash (run under the sanitizers).
namespace {

class TRandomText {
public:
    explicit TRandomText(std::uint32_t seed)
        : FEngine(seed) {}

    QString Make(const QString& alphabet, int maxLength) {
        QString text;
        const int length = Uniform(0, maxLength);
        for (int i = 0; i < length; ++i)
            text += alphabet[Uniform(0, static_cast<int>(alphabet.size()) - 1)];
        return text;
    }

    int Uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(FEngine);
    }

    double Value() {
        static const double kSpecial[] = {0.0,
                                          -0.0,
                                          0.5,
                                          -0.5,
                                          1e-300,
                                          -1e300,
                                          std::numeric_limits<double>::max(),
                                          std::numeric_limits<double>::denorm_min(),
                                          std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          2958465.99999999,
                                          -693594.0};
        if (Uniform(0, 3) == 0)
            return kSpecial[Uniform(0, std::size(kSpecial) - 1)];
        const double mantissa = std::uniform_real_distribution<double>(-10.0, 10.0)(FEngine);
        return mantissa * std::pow(10.0, Uniform(-20, 20));
    }

private:
    std::mt19937 FEngine;
};

const QString kIniAlphabet = QStringLiteral("[]=;# \t\r\n$0xX-+19aKkSs\u00e9\u0000\"'");
const QString kNumberAlphabet = QStringLiteral("0#.,;'\"Ee+- xX%9");
const QString kDateAlphabet = QStringLiteral("dDmMyYhHnNsSzZtTcCaApP/:'\" .-m/");
const QString kDateTextAlphabet = QStringLiteral("0123456789/: .apmAPM");
const QString kIntegerAlphabet = QStringLiteral("0123456789abcdefABCDEFxX$+- ");

TEST(Robustness, IniTextParsesAndRoundTrips) {
    TRandomText random(20261206);
    for (int i = 0; i < 2000; ++i) {
        const QString text = random.Make(kIniAlphabet, 80);
        auto ini = TnvIniFile::FromText(text);
        const QString section = random.Make(QStringLiteral("Ss[]= 1"), 4);
        const QString key = random.Make(QStringLiteral("Kk= ;1"), 4);
        ini.ReadString(section, key, "");
        ini.ReadInteger(section, key, 0);
        ini.ReadBool(section, key, false);
        for (const QString& name : ini.ReadSections()) {
            ASSERT_TRUE(ini.SectionExists(name));
            for (const QString& k : ini.ReadSection(name))
                ASSERT_TRUE(ini.ValueExists(name, k));
            ini.ReadSectionValues(name);
        }
        const QString once = ini.ToText();
        ASSERT_EQ(TnvIniFile::FromText(once).ToText(), once) << "stable for " << text.toStdString();

        const QString value = random.Make(kIniAlphabet, 10);
        const QString safeSection = QStringLiteral("W") + random.Make(QStringLiteral("Ss1"), 3);
        ini.WriteString(safeSection, "Key", value);
        const QString expected = QString(value).replace(u'\r', u' ').replace(u'\n', u' ').trimmed();
        ASSERT_EQ(TnvIniFile::FromText(ini.ToText()).ReadString(safeSection, "Key", "?"), expected);
        ini.DeleteKey(section, key);
        ini.EraseSection(section);
    }
}

TEST(Robustness, IntegerTextsConvertOrRaiseTheConversionError) {
    TRandomText random(7);
    for (int i = 0; i < 2000; ++i) {
        const QString text = random.Make(kIntegerAlphabet, 12);
        int tried = 0;
        const bool ok = nv::TryStrToInt(text, tried);
        try {
            ASSERT_EQ(nv::StrToInt(text), tried);
            ASSERT_TRUE(ok);
            bool decimal = false;
            const qlonglong reference = text.trimmed().toLongLong(&decimal, 10);
            if (decimal && !text.endsWith(u' ')) {
                ASSERT_EQ(reference, tried) << text.toStdString();
            }
        } catch (const TnvConvertError& e) {
            ASSERT_FALSE(ok);
            ASSERT_EQ(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }
}

TEST(Robustness, NumericPatternsAlwaysGiveText) {
    TRandomText random(42);
    for (int i = 0; i < 3000; ++i) {
        const QString pattern = random.Make(kNumberAlphabet, 24);
        const double value = random.Value();
        const QString text = nv::FormatFloat(pattern, value);
        // At most the pattern's text plus every digit a double can have.
        ASSERT_LT(text.size(), pattern.size() * 2 + 420) << pattern.toStdString();
    }
}

TEST(Robustness, DateTimePatternsAlwaysGiveText) {
    TRandomText random(1899);
    for (int i = 0; i < 3000; ++i) {
        const QString pattern = random.Make(kDateAlphabet, 24);
        const QString text = nv::FormatDateTime(pattern, random.Value());
        ASSERT_LT(text.size(), pattern.size() * 40 + 40) << pattern.toStdString();
    }
}

TEST(Robustness, DateTimeTextsReadOrRaiseTheConversionError) {
    TRandomText random(1230);
    int read = 0;
    for (int i = 0; i < 3000; ++i) {
        const QString text = random.Uniform(0, 1) == 0 ? random.Make(kDateTextAlphabet, 24)
                                                       : QStringLiteral("%1/%2/%3 %4:%5")
                                                             .arg(random.Uniform(0, 40))
                                                             .arg(random.Uniform(0, 14))
                                                             .arg(random.Uniform(0, 10001))
                                                             .arg(random.Uniform(0, 25))
                                                             .arg(random.Uniform(0, 61));
        try {
            const nv::TDateTime value = nv::StrToDateTime(text);
            ++read;
            const QString written = nv::DateTimeToStr(value);
            ASSERT_EQ(nv::DateTimeToStr(nv::StrToDateTime(written)), written) << text.toStdString();
        } catch (const TnvConvertError& e) {
            ASSERT_EQ(e.Message(), QStringLiteral("'%1' is not a valid date and time").arg(text));
        }
    }
    EXPECT_GT(read, 100) << "the generator should also make valid texts";
}

} // namespace

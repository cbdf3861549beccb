#include "NvConvert.h"
#include "NvFormat.h"
#include "TnvError.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

struct TIntCase {
    const char* Text;
    int Value;
};

class StrToIntValid : public ::testing::TestWithParam<TIntCase> {};

TEST_P(StrToIntValid, ReadsTheValue) {
    EXPECT_EQ(nv::StrToInt(QString::fromUtf8(GetParam().Text)), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, StrToIntValid,
    ::testing::Values(TIntCase{"0", 0}, TIntCase{"42", 42}, TIntCase{"-42", -42}, TIntCase{"+7", 7},
                      TIntCase{"  12", 12}, TIntCase{"007", 7}, TIntCase{"0x10", 16},
                      TIntCase{"0X1f", 31}, TIntCase{"$ff", 255}, TIntCase{"$FFFF", 65535},
                      TIntCase{"-$10", -16}, TIntCase{"2147483647", 2147483647},
                      TIntCase{"-2147483648", -2147483647 - 1}, TIntCase{"0xFFFFFFFF", -1},
                      TIntCase{"$80000000", -2147483647 - 1}));

class StrToIntInvalid : public ::testing::TestWithParam<const char*> {};

TEST_P(StrToIntInvalid, RaisesTheConversionError) {
    const QString text = QString::fromUtf8(GetParam());
    try {
        nv::StrToInt(text);
        FAIL() << "no error for '" << GetParam() << "'";
    } catch (const TnvConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
    int value = 123;
    EXPECT_FALSE(nv::TryStrToInt(text, value));
    EXPECT_EQ(value, 123) << "a failed conversion leaves the value alone";
}

INSTANTIATE_TEST_SUITE_P(Syntax, StrToIntInvalid,
                         ::testing::Values("", " ", "-", "+", "$", "0x", "abc", "12abc", "12 ",
                                           "1.5", "1e3", "--1", "0x1G", "2147483648", "-2147483649",
                                           "0x100000000", "99999999999999999999",
                                           "\xd9\xa3" /* Arabic-Indic three */));

TEST(StrToFloat, ReadsRealsWithTheDecimalSeparator) {
    EXPECT_DOUBLE_EQ(nv::StrToFloat("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(nv::StrToFloat(" -2.5e3 "), -2500.0);
    EXPECT_DOUBLE_EQ(nv::StrToFloat(".5"), 0.5);
    EXPECT_DOUBLE_EQ(nv::StrToFloat("7."), 7.0);
    EXPECT_TRUE(std::isinf(nv::StrToFloat("-INF")));
    EXPECT_TRUE(std::isnan(nv::StrToFloat("nan")));
}

TEST(StrToFloat, RaisesTheConversionError) {
    for (const char* text : {"", "1,5", "abc", "1.5x", "1e", "1e+", ".", "1e999", "1'000"}) {
        try {
            nv::StrToFloat(text);
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const TnvConvertError& e) {
            EXPECT_EQ(e.Message(),
                      QStringLiteral("'%1' is not a valid floating point value").arg(text));
        }
    }
}

TEST(StrToFloat, FollowsTheProcessWideDecimalSeparator) {
    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings comma = saved;
    comma.DecimalSeparator = u',';
    nv::SetFormatSettings(comma);
    double value = 0;
    const bool readComma = nv::TryStrToFloat("0,25", value);
    const bool readPoint = nv::TryStrToFloat("0.25", value);
    nv::SetFormatSettings(saved);
    EXPECT_TRUE(readComma);
    EXPECT_FALSE(readPoint);
    EXPECT_DOUBLE_EQ(value, 0.25);
}

TEST(StrToFloat, ReadsBackWhatFloatToStrWrites) {
    for (double value : {0.0, 1.0, -0.1, 123.456, 1e-7, -3.25e20, 0.1 + 0.2, 1.0 / 3.0}) {
        const QString text = nv::FloatToStr(value);
        EXPECT_NEAR(nv::StrToFloat(text), value, std::abs(value) * 1e-14) << text.toStdString();
    }
}

} // namespace

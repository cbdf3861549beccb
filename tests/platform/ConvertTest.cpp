#include "NvConvert.h"
#include "NvFormat.h"
#include "TestErrors.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(StrToNumber, ReadsIntegersAndRealsAndRaisesForTheRest) {
    const std::pair<const char*, int> rows[] = {
        // clang-format off
        {"-42", -42}, {"+7", 7}, {"  12", 12}, {"0X1f", 31}, {"$FFFF", 65535}, {"-$10", -16},
        {"0xFFFFFFFF", -1}, {"$80000000", -2147483647 - 1}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        // clang-format on
    };
    for (const auto& [text, value] : rows)
        EXPECT_EQ(nv::StrToInt(text), value) << text;
    // Anything else raises the conversion error, and Try leaves the value alone.
    for (const char* text : {"", "-", "$", "0x", "12abc", "12 ", "1.5", "--1", "0x1G", "2147483648",
                             "-2147483649", "0x100000000", "\xd9\xa3" /* Arabic-Indic three */}) {
        const QString qtext = QString::fromUtf8(text);
        EXPECT_EQ(kxtest::ErrorOf<TnvConvertError>([&] { nv::StrToInt(qtext); }),
                  QStringLiteral("'%1' is not a valid integer value").arg(qtext));
        int value = 123;
        EXPECT_FALSE(nv::TryStrToInt(qtext, value));
        EXPECT_EQ(value, 123) << text;
    }
    // Reals read with the process-wide decimal separator, and what FloatToStr
    // writes reads back.
    EXPECT_DOUBLE_EQ(nv::StrToFloat(" -2.5e3 "), -2500.0);
    EXPECT_DOUBLE_EQ(nv::StrToFloat(".5") + nv::StrToFloat("7."), 7.5);
    EXPECT_TRUE(std::isinf(nv::StrToFloat("-INF")));
    for (const char* text : {"", "1,5", "1.5x", "1e+", ".", "1e999", "1'000"}) {
        double value = 0;
        EXPECT_FALSE(nv::TryStrToFloat(text, value)) << text;
    }
    EXPECT_THROW(nv::StrToFloat("1,5"), TnvConvertError);

    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings comma = saved;
    comma.DecimalSeparator = u',';
    nv::SetFormatSettings(comma);
    double value = 0;
    EXPECT_TRUE(nv::TryStrToFloat("0,25", value));
    EXPECT_FALSE(nv::TryStrToFloat("0.25", value));
    nv::SetFormatSettings(saved);
    EXPECT_DOUBLE_EQ(value, 0.25);
    for (double written : {-0.1, 123.456, 1e-7, -3.25e20, 0.1 + 0.2, 1.0 / 3.0}) {
        const QString text = nv::FloatToStr(written);
        EXPECT_NEAR(nv::StrToFloat(text), written, std::abs(written) * 1e-14) << text.toStdString();
    }
}

} // namespace

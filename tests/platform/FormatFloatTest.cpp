#include "NvFormat.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

// Expected texts are worked out by hand from the pattern rules, with the
// process-wide separators "'" (thousands) and "." (decimal).
struct TFloatCase {
    const char* Pattern;
    double Value;
    const char* Expected;
};

std::ostream& operator<<(std::ostream& out, const TFloatCase& c) {
    return out << '"' << c.Pattern << "\" " << c.Value << " -> \"" << c.Expected << '"';
}

class FormatFloatTable : public ::testing::TestWithParam<TFloatCase> {};

TEST_P(FormatFloatTable, GivesTheHandWorkedText) {
    const TFloatCase& c = GetParam();
    EXPECT_EQ(nv::FormatFloat(QString::fromUtf8(c.Pattern), c.Value).toStdString(), c.Expected);
}

// Digits, rounding (half away from zero, on the decimal text), thousands,
// quoted text, sections, scientific and general forms.
INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatFloatTable,
    ::testing::Values(
        TFloatCase{"0", 0, "0"},                // zero shows its forced digit
        TFloatCase{"#", 0, ""},                 // nothing significant
        TFloatCase{"0.##", 1, "1"},             // no decimals, no point
        TFloatCase{"0.0#", 3.14159, "3.14"},    // rounded to two places
        TFloatCase{"#.##", 0.5, ".5"},          // no integral digit
        TFloatCase{"000.0", 5.25, "005.3"},     // padded and rounded
        TFloatCase{"#0#", 5, "05"},             // forced from the first 0
        TFloatCase{"0.0", 12345.67, "12345.7"}, // more digits than room
        TFloatCase{".00", 12.345, "12.35"},     // integral digits at the point
        TFloatCase{"00-00", 1234, "12-34"}, TFloatCase{"0", 1.5, "2"}, // half away from zero
        TFloatCase{"0", 2.5, "3"},                                     // not to even
        TFloatCase{"0.0", 0.25, "0.3"},                                // exact binary tie
        TFloatCase{"0.00", 2.675, "2.68"},                             // binary 2.67499999...
        TFloatCase{"0.00", 0.005, "0.01"},                             // carry into a new digit
        TFloatCase{"0.0", 99.96, "100.0"},                             // carry through nines
        TFloatCase{"0.000", 1e-300, "0.000"}, TFloatCase{"#,##0", 1234567, "1'234'567"},
        TFloatCase{"0,000", 12, "0'012"}, TFloatCase{"#,##0.0", 999999.95, "1'000'000.0"},
        TFloatCase{"0.0,0", 1234.5, "1234.50"},
        TFloatCase{"'Temp: '0.0", -5, "Temp: -5.0"}, // sign at the digits
        TFloatCase{"\"U=\"0\" V\"", 230, "U=230 V"},
        TFloatCase{"'a;b'0", 5, "a;b5"},       // ";" inside quotes
        TFloatCase{"'0.#,E+'0", 7, "0.#,E+7"}, // codes inside quotes
        TFloatCase{"0 '", 3, "3 "}, TFloatCase{"0.00;(0.00)", 1.5, "1.50"},
        TFloatCase{"0.00;(0.00)", -1.5, "(1.50)"}, // no minus sign
        TFloatCase{"0;'-'0", -3, "-3"},            // the section's own minus
        TFloatCase{"0.00;(0.00);'zero'", 0, "zero"},
        TFloatCase{"0.00;(0.00);'zero'", 0.004, "zero"}, // rounds to zero
        TFloatCase{"0.00;;'zero'", -2, "-2.00"},         // empty negative section
        TFloatCase{"0.0", -0.04, "0.0"},                 // no "-0.0"
        TFloatCase{"0.0;;'z';'x'", -7, "-7.0"},          // a fourth section is ignored
        TFloatCase{";0", 1.5, "1.5"}, TFloatCase{"0.00E+00", 12345, "1.23E+04"},
        TFloatCase{"0.00E+00", 0.00012345, "1.23E-04"},
        TFloatCase{"0.00E-00", 12345, "1.23E04"},                    // no plus sign
        TFloatCase{"00.0E+0", 12345, "12.3E+3"},                     // two integral digits
        TFloatCase{"0.00E+00", -9.999, "-1.00E+01"},                 // carry into exponent
        TFloatCase{"0E", 5, "5E"}, TFloatCase{"", 0.1 + 0.2, "0.3"}, // 15 significant digits
        TFloatCase{"", -0.0, "0"}, TFloatCase{"", 123456789012345, "123456789012345"},
        TFloatCase{"", 1e15, "1E15"}, TFloatCase{"", -1.5e-7, "-1.5E-7"}));

TEST(FormatFloat, WritesNonFiniteValuesAsWords) {
    EXPECT_EQ(nv::FormatFloat("0.0", std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(nv::FormatFloat("0.0", std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(nv::FormatFloat("", -std::numeric_limits<double>::infinity()), "-INF");
}

TEST(FormatFloat, WritesTheProcessWideSeparators) {
    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings swapped = saved;
    swapped.DecimalSeparator = u',';
    swapped.ThousandSeparator = u'.';
    nv::SetFormatSettings(swapped);
    const QString patterned = nv::FormatFloat("#,##0.00", 1234.5);
    const QString general = nv::FloatToStr(-0.5);
    nv::SetFormatSettings(saved);
    EXPECT_EQ(patterned, "1.234,50");
    EXPECT_EQ(general, "-0,5");
}

} // namespace

#include "NvFormat.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// Digits, rounding (half away from zero, on the decimal text), thousands,
// quoted text, sections, scientific and general forms. Expected texts are
// worked out by hand from the pattern rules, with the process-wide separators
// "'" (thousands) and "." (decimal).
TEST(FormatFloat, GivesTheHandWorkedText) {
    const std::tuple<const char*, double, const char*> cases[] = {
        // clang-format off
        {"0", 0, "0"},                // zero shows its forced digit
        {"#", 0, ""},                 // nothing significant
        {"0.##", 1, "1"},             // no decimals, no point
        {"0.0#", 3.14159, "3.14"},    // rounded to two places
        {"#.##", 0.5, ".5"},          // no integral digit
        {"000.0", 5.25, "005.3"},     // padded and rounded
        {"#0#", 5, "05"},             // forced from the first 0
        {"0.0", 12345.67, "12345.7"}, // more digits than room
        {".00", 12.345, "12.35"},     // integral digits at the point
        {"0", 2.5, "3"},              // half away from zero, not to even
        {"0.00", 2.675, "2.68"},      // binary 2.67499999...
        {"0.00", 0.005, "0.01"},      // carry into a new digit
        {"0.0", 99.96, "100.0"},      // carry through nines
        {"00-00", 1234, "12-34"}, {"0.000", 1e-300, "0.000"}, {"#,##0", 1234567, "1'234'567"},
        {"0,000", 12, "0'012"}, {"#,##0.0", 999999.95, "1'000'000.0"}, {"0.0,0", 1234.5, "1234.50"},
        {"'Temp: '0.0", -5, "Temp: -5.0"}, // sign at the digits
        {"'a;b'0", 5, "a;b5"},             // ";" inside quotes
        {"'0.#,E+'0", 7, "0.#,E+7"},       // codes inside quotes
        {"\"U=\"0\" V\"", 230, "U=230 V"}, {"0 '", 3, "3 "}, {"0.00;(0.00)", 1.5, "1.50"},
        {"0.00;(0.00)", -1.5, "(1.50)"},       // no minus sign
        {"0;'-'0", -3, "-3"},                  // the section's own minus
        {"0.00;(0.00);'zero'", 0.004, "zero"}, // rounds to zero
        {"0.00;;'zero'", -2, "-2.00"},         // empty negative section
        {"0.0", -0.04, "0.0"},                 // no "-0.0"
        {"0.0;;'z';'x'", -7, "-7.0"},          // a fourth section is ignored
        {"0.00;(0.00);'zero'", 0, "zero"}, {";0", 1.5, "1.5"}, {"0E", 5, "5E"},
        {"0.00E+00", 12345, "1.23E+04"}, {"0.00E+00", 0.00012345, "1.23E-04"},
        {"0.00E-00", 12345, "1.23E04"},    // no plus sign
        {"00.0E+0", 12345, "12.3E+3"},     // two integral digits
        {"0.00E+00", -9.999, "-1.00E+01"}, // carry into exponent
        {"", 0.1 + 0.2, "0.3"},            // 15 significant digits
        {"", -0.0, "0"}, {"", 123456789012345, "123456789012345"}, {"", 1e15, "1E15"},
        {"", -1.5e-7, "-1.5E-7"}, {"0.0", NAN, "NAN"}, {"0.0", INFINITY, "INF"},
        {"", -INFINITY, "-INF"},
        // clang-format on
    };
    for (const auto& [pattern, value, expected] : cases)
        EXPECT_EQ(nv::FormatFloat(QString::fromUtf8(pattern), value).toStdString(), expected)
            << pattern << " " << value;
    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings swapped = saved;
    swapped.DecimalSeparator = u',';
    swapped.ThousandSeparator = u'.';
    nv::SetFormatSettings(swapped);
    EXPECT_EQ(nv::FormatFloat("#,##0.00", 1234.5), "1.234,50");
    EXPECT_EQ(nv::FloatToStr(-0.5), "-0,5");
    nv::SetFormatSettings(saved);
}

} // namespace

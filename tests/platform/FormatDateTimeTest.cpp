#include "NvFormat.h"
#include "TestErrors.h"

#include <gtest/gtest.h>

namespace {

// Wednesday 5 March 2031, 14:07:09.045
const nv::TDateTime kSample = nv::EncodeDate(2031, 3, 5) + nv::EncodeTime(14, 7, 9, 45);

TEST(FormatDateTime, WritesEachCode) {
    const std::pair<const char*, const char*> rows[] = {
        // clang-format off
        {"d dd ddd dddd", "5 05 Wed Wednesday"}, {"ddddd|dddddd", "05/03/2031|05 March 2031"},
        {"m mm mmm mmmm yy", "3 03 Mar March 31"}, {"YYYY-MM-DD", "2031-03-05"},
        {"h n nn s z zzz", "14 7 07 9 45 045"}, {"t|tt", "14:07|14:07:09"},
        {"hh:mm", "14:07"},    // "m" after "h" is minutes
        {"h 'x' m", "14 x 7"}, // also across text
        {"h:nn am/pm", "2:07 pm"}, {"hh:nn AM/PM", "02:07 PM"}, {"h a/p|h ampm", "2 p|2 PM"},
        {"c", "05/03/2031 14:07:09"}, {"'d is' d \"at\" hh", "d is 5 at 14"},
        {"[x] 'open", "[x] open"},
        // clang-format on
    };
    for (const auto& [pattern, expected] : rows)
        EXPECT_EQ(nv::FormatDateTime(QString::fromUtf8(pattern), kSample).toStdString(), expected)
            << pattern;
    EXPECT_EQ(nv::FormatDateTime("h am/pm", nv::EncodeTime(0, 30, 0, 0)), "12 am");
    EXPECT_EQ(nv::FormatDateTime("h am/pm", nv::EncodeTime(12, 0, 0, 0)), "12 pm");
}

// Short date and long time formats that refer to each other must not recurse.
TEST(FormatDateTime, FollowsTheProcessWideSeparatorsAndFormats) {
    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings iso = saved;
    iso.DateSeparator = u'.';
    iso.TimeSeparator = u'-';
    iso.ShortDateFormat = "yyyy/mm/dd";
    nv::SetFormatSettings(iso);
    EXPECT_EQ(nv::FormatDateTime("dd/mm hh:nn", kSample), "05.03 14-07");
    EXPECT_EQ(nv::DateToStr(nv::EncodeDate(2031, 3, 12)), "2031.03.12");
    EXPECT_EQ(nv::StrToDateTime("2031.03.12"), nv::EncodeDate(2031, 3, 12));
    iso.ShortDateFormat = "c";
    iso.LongTimeFormat = "ddddd tt";
    nv::SetFormatSettings(iso);
    EXPECT_LT(nv::DateTimeToStr(kSample).size(), 200);
    nv::SetFormatSettings(saved);
}

TEST(StrToDateTime, ReadsTheFormsAndRaisesForTheRest) {
    const std::pair<const char*, const char*> rows[] = {
        {" 1/2/1999 ", "1999-02-01 00:00:00.000"},
        {"12/03/99 8:05", "2099-03-12 08:05:00.000"}, // year base 2000
        {"12/03/2031 14:07:09.5", "2031-03-12 14:07:09.500"},
        {"12/03/2031 2:07 pm", "2031-03-12 14:07:00.000"},
        {"12/03/2031 12:07 AM", "2031-03-12 00:07:00.000"},
        {"10:20:30", "1899-12-30 10:20:30.000"},
        {"29/12/1899 06:00", "1899-12-29 06:00:00.000"},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(nv::FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", nv::StrToDateTime(text)), expected)
            << text;
    // Text that is no date and time raises.
    for (const char* text :
         {"", "31/02/2020", "12/13/2020", "12/03", "12/03/2031x", "12/03/2031 25:00",
          "12/03/2031 10", "12/03/203112:00", "13:00 pm", "12/03/0000", "10:20:30:40"}) {
        EXPECT_EQ(kxtest::ErrorOf<TnvConvertError>([&] { nv::StrToDateTime(text); }),
                  QStringLiteral("'%1' is not a valid date and time").arg(text));
    }
    // What DateTimeToStr writes reads back.
    for (int day = -693593; day <= 2958465; day += 7919) {
        for (const nv::TDateTime time :
             {0.0, nv::EncodeTime(0, 0, 1, 0), nv::EncodeTime(13, 59, 7, 0),
              nv::EncodeTime(23, 59, 59, 0)}) {
            const nv::TDateTime value = nv::ComposeDateTime(day, time);
            const QString text = nv::DateTimeToStr(value);
            ASSERT_EQ(nv::StrToDateTime(text), value) << text.toStdString();
        }
    }
}

} // namespace

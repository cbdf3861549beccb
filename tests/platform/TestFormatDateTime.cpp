#include "NvFormat.h"
#include "TnvError.h"

#include <gtest/gtest.h>

namespace {

// Wednesday 5 March 2031, 14:07:09.045
nv::TDateTime Sample() {
    return nv::EncodeDate(2031, 3, 5) + nv::EncodeTime(14, 7, 9, 45);
}

struct TDateTimeCase {
    const char* Pattern;
    const char* Expected;
};

class FormatDateTimeCodes : public ::testing::TestWithParam<TDateTimeCase> {};

TEST_P(FormatDateTimeCodes, WritesTheCode) {
    EXPECT_EQ(nv::FormatDateTime(QString::fromUtf8(GetParam().Pattern), Sample()).toStdString(),
              GetParam().Expected)
        << GetParam().Pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Date, FormatDateTimeCodes,
    ::testing::Values(TDateTimeCase{"d", "5"}, TDateTimeCase{"dd", "05"},
                      TDateTimeCase{"ddd", "Wed"}, TDateTimeCase{"dddd", "Wednesday"},
                      TDateTimeCase{"ddddd", "05/03/2031"},
                      TDateTimeCase{"dddddd", "05 March 2031"}, TDateTimeCase{"m", "3"},
                      TDateTimeCase{"mm", "03"}, TDateTimeCase{"mmm", "Mar"},
                      TDateTimeCase{"mmmm", "March"}, TDateTimeCase{"yy", "31"},
                      TDateTimeCase{"yyyy", "2031"}, TDateTimeCase{"YYYY-MM-DD", "2031-03-05"},
                      TDateTimeCase{"d/m/y", "5/3/31"}));

INSTANTIATE_TEST_SUITE_P(
    Time, FormatDateTimeCodes,
    ::testing::Values(TDateTimeCase{"h", "14"}, TDateTimeCase{"hh", "14"}, TDateTimeCase{"n", "7"},
                      TDateTimeCase{"nn", "07"}, TDateTimeCase{"s", "9"}, TDateTimeCase{"ss", "09"},
                      TDateTimeCase{"z", "45"}, TDateTimeCase{"zzz", "045"},
                      TDateTimeCase{"t", "14:07"}, TDateTimeCase{"tt", "14:07:09"},
                      TDateTimeCase{"hh:mm", "14:07"},    // "m" after "h" is minutes
                      TDateTimeCase{"h 'x' m", "14 x 7"}, // also across text
                      TDateTimeCase{"hh:nn:ss.zzz", "14:07:09.045"}));

INSTANTIATE_TEST_SUITE_P(TwelveHours, FormatDateTimeCodes,
                         ::testing::Values(TDateTimeCase{"h:nn am/pm", "2:07 pm"},
                                           TDateTimeCase{"hh:nn AM/PM", "02:07 PM"},
                                           TDateTimeCase{"h a/p", "2 p"},
                                           TDateTimeCase{"h A/P", "2 P"},
                                           TDateTimeCase{"h ampm", "2 PM"}));

INSTANTIATE_TEST_SUITE_P(TextAndSeparators, FormatDateTimeCodes,
                         ::testing::Values(TDateTimeCase{"c", "05/03/2031 14:07:09"},
                                           TDateTimeCase{"'d is' d", "d is 5"},
                                           TDateTimeCase{"\"at\" hh", "at 14"},
                                           TDateTimeCase{"dd.mm", "05.03"},
                                           TDateTimeCase{"[x]", "[x]"},
                                           TDateTimeCase{"'open", "open"}));

TEST(FormatDateTime, MarksMidnightAndNoonInTwelveHours) {
    EXPECT_EQ(nv::FormatDateTime("h am/pm", nv::EncodeTime(0, 30, 0, 0)), "12 am");
    EXPECT_EQ(nv::FormatDateTime("h am/pm", nv::EncodeTime(12, 0, 0, 0)), "12 pm");
}

TEST(FormatDateTime, WritesTheProcessWideSeparators) {
    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings dots = saved;
    dots.DateSeparator = u'.';
    dots.TimeSeparator = u'-';
    nv::SetFormatSettings(dots);
    const QString text = nv::FormatDateTime("dd/mm hh:nn", Sample());
    nv::SetFormatSettings(saved);
    EXPECT_EQ(text, "05.03 14-07");
}

TEST(FormatDateTime, DoesNotRecurseThroughSelfReferringFormats) {
    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings looping = saved;
    looping.ShortDateFormat = "c";
    looping.LongTimeFormat = "ddddd tt";
    nv::SetFormatSettings(looping);
    const QString text = nv::DateTimeToStr(Sample());
    nv::SetFormatSettings(saved);
    EXPECT_LT(text.size(), 200);
}

TEST(DateTimeToStr, LeavesTheTimeOutAtMidnight) {
    EXPECT_EQ(nv::DateTimeToStr(nv::EncodeDate(2031, 3, 12)), "12/03/2031");
    EXPECT_EQ(nv::DateTimeToStr(Sample()), "05/03/2031 14:07:09");
    EXPECT_EQ(nv::DateTimeToStr(-1.25), "29/12/1899 06:00:00");
    EXPECT_EQ(nv::DateTimeToStr(nv::EncodeTime(10, 20, 30, 0)), "30/12/1899 10:20:30");
    EXPECT_EQ(nv::FormatDateTime("", Sample()), nv::DateTimeToStr(Sample()));
    EXPECT_EQ(nv::DateToStr(Sample()), "05/03/2031");
    EXPECT_EQ(nv::TimeToStr(Sample()), "14:07:09");
}

TEST(StrToDateTime, ReadsBackWhatDateTimeToStrWrites) {
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

struct TReadCase {
    const char* Text;
    int Year, Month, Day, Hour, Min, Sec, MSec;
};

class StrToDateTimeForms : public ::testing::TestWithParam<TReadCase> {};

TEST_P(StrToDateTimeForms, ReadsTheForm) {
    const TReadCase& c = GetParam();
    const nv::TDateTime value = nv::StrToDateTime(QString::fromUtf8(c.Text));
    int year = 0, month = 0, day = 0, hour = 0, min = 0, sec = 0, msec = 0;
    nv::DecodeDate(value, year, month, day);
    nv::DecodeTime(value, hour, min, sec, msec);
    EXPECT_EQ(std::tie(year, month, day, hour, min, sec, msec),
              std::tie(c.Year, c.Month, c.Day, c.Hour, c.Min, c.Sec, c.MSec));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StrToDateTimeForms,
    ::testing::Values(TReadCase{"12/03/2031", 2031, 3, 12, 0, 0, 0, 0},
                      TReadCase{" 1/2/1999 ", 1999, 2, 1, 0, 0, 0, 0},
                      TReadCase{"12/03/31", 2031, 3, 12, 0, 0, 0, 0}, // year base 2000
                      TReadCase{"12/03/99 8:05", 2099, 3, 12, 8, 5, 0, 0},
                      TReadCase{"12/03/2031 14:07:09", 2031, 3, 12, 14, 7, 9, 0},
                      TReadCase{"12/03/2031 14:07:09.5", 2031, 3, 12, 14, 7, 9, 500},
                      TReadCase{"12/03/2031 2:07 pm", 2031, 3, 12, 14, 7, 0, 0},
                      TReadCase{"12/03/2031 12:07 AM", 2031, 3, 12, 0, 7, 0, 0},
                      TReadCase{"10:20:30", 1899, 12, 30, 10, 20, 30, 0},
                      TReadCase{"29/12/1899 06:00", 1899, 12, 29, 6, 0, 0, 0}));

TEST(StrToDateTime, RaisesForTextThatIsNoDateAndTime) {
    for (const char* text :
         {"", "abc", "31/02/2020", "12/13/2020", "12/03", "12/03/2031x", "12/03/2031 25:00",
          "12/03/2031 10", "12/03/2031 10:60", "12/03/203112:00", "12-03-2031", "13:00 pm",
          "12/03/0000", "10:20:30:40", "12/03/2031 10:20 xm"}) {
        try {
            nv::StrToDateTime(text);
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const TnvConvertError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("'%1' is not a valid date and time").arg(text));
        }
    }
}

TEST(StrToDateTime, FollowsTheOrderOfTheShortDateFormat) {
    const nv::TFormatSettings saved = nv::FormatSettings();
    nv::TFormatSettings iso = saved;
    iso.ShortDateFormat = "yyyy/mm/dd";
    nv::SetFormatSettings(iso);
    const QString written = nv::DateToStr(nv::EncodeDate(2031, 3, 12));
    const nv::TDateTime read = nv::StrToDateTime("2031/03/12");
    nv::SetFormatSettings(saved);
    EXPECT_EQ(written, "2031/03/12");
    EXPECT_EQ(read, nv::EncodeDate(2031, 3, 12));
}

} // namespace

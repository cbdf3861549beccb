#include "NvDateTime.h"
#include "TnvError.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>

namespace {

using TFields = std::array<int, 7>;

// Year, month, day, hour, minute, second and millisecond of value.
TFields Fields(nv::TDateTime value) {
    TFields f{-1, -1, -1, -1, -1, -1, -1}; // a field left alone shows
    nv::DecodeDate(value, f[0], f[1], f[2]);
    nv::DecodeTime(value, f[3], f[4], f[5], f[6]);
    return f;
}

// Days count from 30 December 1899; 1900 is no leap year. Weekdays count
// from Sunday (1), also before 1899.
TEST(DateTime, CountsDaysFrom30December1899AndDecodesThemBack) {
    const std::tuple<int, int, int, double, int> rows[] = {
        {1899, 12, 29, -1, 6}, {1900, 3, 1, 61, 5},        {2000, 2, 29, 36585, 3},
        {1, 1, 1, -693593, 2}, {9999, 12, 31, 2958465, 6}, {1899, 12, 30, 0, 7},
    };
    for (const auto& [year, month, day, value, weekday] : rows) {
        EXPECT_EQ(nv::EncodeDate(year, month, day), value) << value;
        EXPECT_EQ(nv::DayOfWeek(value < 0 ? value - 0.9 : value + 0.9), weekday) << value;
        EXPECT_EQ(Fields(value), (TFields{year, month, day})) << value;
    }
    // Impossible dates and times raise.
    const int dates[][3] = {{2023, 2, 29}, {1900, 2, 29}, {2024, 4, 31}, {0, 1, 1},
                            {10000, 1, 1}, {2020, 13, 1}, {2020, 0, 1},  {2020, 1, 0}};
    for (const auto& d : dates) {
        EXPECT_THROW(nv::EncodeDate(d[0], d[1], d[2]), TnvConvertError) << d[0] << d[1] << d[2];
        nv::TDateTime value = 42;
        EXPECT_FALSE(nv::TryEncodeDate(d[0], d[1], d[2], value));
        EXPECT_EQ(value, 42);
    }
    const int times[][4] = {
        {24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto& t : times)
        EXPECT_THROW(nv::EncodeTime(t[0], t[1], t[2], t[3]), TnvConvertError) << t[0] << t[1];
    // Days before 1899 count backwards with a positive time; a time that rounds
    // to 24 hours moves to the next day.
    EXPECT_EQ(Fields(-1.25), (TFields{1899, 12, 29, 6, 0, 0, 0}));
    EXPECT_EQ(Fields(1.0 - 1e-10), (TFields{1899, 12, 31, 0, 0, 0, 0}));
    EXPECT_EQ(nv::ComposeDateTime(nv::EncodeDate(1899, 12, 29), nv::EncodeTime(6, 0, 0, 0)), -1.25);
    EXPECT_EQ(nv::ComposeDateTime(nv::EncodeDate(1899, 12, 31), nv::EncodeTime(6, 0, 0, 0)), 1.25);
    // Values that are no date give zeros.
    for (double value :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300,
          -1e300, 2958466.0, -693594.5}) {
        EXPECT_EQ(Fields(value), TFields{}) << value;
        EXPECT_EQ(nv::DayOfWeek(value), 0) << value;
    }
}

} // namespace

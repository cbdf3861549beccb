#include "NvDateTime.h"

#include "TnvError.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>

namespace nv {

namespace {

constexpr std::int64_t kMSecsPerDay = 86'400'000;
// Day numbers of 01/01/0001 and 31/12/9999, the range the platform encodes.
constexpr std::int64_t kFirstDay = -693'593;
constexpr std::int64_t kLastDay = 2'958'465;
// Days from 01/01/1970 back to 30/12/1899.
constexpr std::int64_t kEpochOffset = 25'569;

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 01/01/1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

struct TSplit {
    bool Valid = false;
    std::int64_t Day = 0;  // day number, 0 = 30/12/1899
    std::int64_t MSec = 0; // milliseconds into that day
};

// The day is the value truncated toward zero and the time of day the
// magnitude of the fraction; a time that rounds up to 24:00 moves to the next
// day, so the date and the time of one value always agree.
TSplit Split(TDateTime value) {
    TSplit split;
    if (!std::isfinite(value) || value < kFirstDay - 1.0 || value > kLastDay + 1.0)
        return split;
    const double whole = std::trunc(value);
    split.Day = static_cast<std::int64_t>(whole);
    split.MSec = std::llround(std::fabs(value - whole) * kMSecsPerDay);
    if (split.MSec >= kMSecsPerDay) {
        split.MSec -= kMSecsPerDay;
        ++split.Day;
    }
    split.Valid = split.Day >= kFirstDay && split.Day <= kLastDay;
    return split;
}

} // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    result = static_cast<TDateTime>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        kEpochOffset);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime result = 0;
    if (!TryEncodeDate(year, month, day, result))
        throw TnvConvertError(QStringLiteral("Invalid argument to date encode"));
    return result;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
    if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 ||
        msec >= 1000)
        return false;
    const std::int64_t total = ((hour * 60LL + min) * 60 + sec) * 1000 + msec;
    result = static_cast<double>(total) / kMSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime result = 0;
    if (!TryEncodeTime(hour, min, sec, msec, result))
        throw TnvConvertError(QStringLiteral("Invalid argument to time encode"));
    return result;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
    // Before 30/12/1899 the value runs backwards from its day, so the time of
    // day is subtracted there.
    const double day = std::trunc(date);
    const double fraction = std::fabs(time - std::trunc(time));
    return day < 0 ? day - fraction : day + fraction;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    const TSplit split = Split(value);
    if (!split.Valid) {
        year = month = day = 0;
        return;
    }
    CivilFromDays(split.Day - kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    const TSplit split = Split(value);
    std::int64_t rest = split.Valid ? split.MSec : 0;
    msec = static_cast<int>(rest % 1000);
    rest /= 1000;
    sec = static_cast<int>(rest % 60);
    rest /= 60;
    min = static_cast<int>(rest % 60);
    hour = static_cast<int>(rest / 60);
}

int DayOfWeek(TDateTime value) {
    const TSplit split = Split(value);
    if (!split.Valid)
        return 0;
    // 30/12/1899 was a Saturday (7).
    return static_cast<int>(((split.Day + 6) % 7 + 7) % 7) + 1;
}

TDateTime Now() {
    // localtime_r reads the zone's rules once; QDateTime::currentDateTime
    // asks the file system for them on every call, which the exchange thread
    // would pay with every reply it stamps.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return ComposeDateTime(EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
                           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                                      static_cast<int>(now.tv_nsec / 1'000'000)));
}

TDateTime Date() {
    return std::trunc(Now());
}

} // namespace nv

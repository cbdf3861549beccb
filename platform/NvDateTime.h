#pragma once

#include <QString>

// The platform's date-time: days since 30/12/1899 with the time of day as the
// fraction. Negative values are days before that date; the fraction is then
// still the time of day (-1.25 is 29/12/1899 06:00).
namespace nv {

using TDateTime = double;

// Raises TnvConvertError "Invalid argument to date encode" for an impossible
// date (month 0, 30 February, year 0 or beyond 9999).
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);

// Raises TnvConvertError "Invalid argument to time encode" unless
// hour < 24, min < 60, sec < 60 and msec < 1000.
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);

// A date and a time of day as one value (also before 30/12/1899, where the
// time of day is subtracted from the day).
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// The date of the value's day and its time of day to the millisecond (rounded;
// a time that rounds to 24:00 belongs to the next day). A value outside
// 01/01/0001 to 31/12/9999, or not a number, decodes as all zeros.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);

// 1 for Sunday to 7 for Saturday; 0 for a value that decodes as no date.
int DayOfWeek(TDateTime value);

// The local date and time of the system clock.
TDateTime Now();
// Now() without its time of day.
TDateTime Date();

} // namespace nv

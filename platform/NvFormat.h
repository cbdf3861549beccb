#pragma once

#include "NvDateTime.h"

#include <QChar>
#include <QString>

// Number and date-time texts with the platform's pattern languages.
namespace nv {

// The process-wide separators and date-time forms. The terminal sets them once
// at start-up on the GUI thread, before any other thread exists; afterwards
// every thread only reads them.
struct TFormatSettings {
    QChar ThousandSeparator{'\''};
    QChar DecimalSeparator{'.'};
    QChar DateSeparator{'/'};
    QChar TimeSeparator{':'};
    QString ShortDateFormat{"dd/mm/yyyy"};
    QString LongTimeFormat{"hh:nn:ss"};
    QString ShortTimeFormat{"hh:nn"};
    QString LongDateFormat{"dd mmmm yyyy"};
};

// The settings in force; never changed by this layer itself.
const TFormatSettings& FormatSettings();
// GUI thread, at start-up only (see above).
void SetFormatSettings(const TFormatSettings& settings);

// The float-format pattern: "0" digit always shown, "#" digit shown if
// significant, the first "." places the decimal separator (written only when
// a decimal follows), a "," in the integral part switches on thousands
// separators every three integral digits, text in '...' or "..." is copied,
// E+ E- e+ e- request scientific notation (the "0"s after them give the
// exponent's least digit count; "E-" writes only a negative sign), and up to
// three ";"-separated sections serve positive, negative and zero values.
// - A negative value formatted with its own section shows no minus sign unless
//   the section has one; an empty negative or zero section falls back to the
//   first, which writes the minus sign just before the first digit.
// - A value that rounds to zero uses the zero section when there is one, and
//   otherwise shows no minus sign.
// - The value is rounded half away from zero to the decimals shown, on the
//   value taken to 15 significant digits (0.15 with "0.0" gives "0.2").
// - Integral digits beyond the pattern's are all shown. A section without
//   digit placeholders shows only its text.
// An empty pattern (or an empty section to use) gives FloatToStr. NaN and
// infinities give "NAN", "INF", "-INF". Written separators are the
// process-wide ones. Never raises: a malformed pattern still gives some text.
QString FormatFloat(const QString& pattern, double value);

// General format: at most 15 significant digits, no trailing zeros; scientific
// notation ("1.5E20", "1E-6") for values of 1E15 and above or below 0.00001.
QString FloatToStr(double value);

// The date-time pattern: d dd ddd dddd, m mm mmm mmmm, yy yyyy, h hh, n nn,
// s ss, z zzz, am/pm a/p ampm, c (short date and long time), ddddd (short
// date), dddddd (long date), t (short time), tt (long time), "/" and ":" as
// the process-wide separators, quoted literals. Codes are read without regard
// to case. An "m" right after an "h" or "hh" means minutes; an am/pm code
// anywhere in the pattern makes hours 12-hour. Day and month names are
// English. An empty pattern gives DateTimeToStr. Never raises.
QString FormatDateTime(const QString& pattern, TDateTime value);

// The short date, the long time, and both (the time left out at midnight).
QString DateToStr(TDateTime value);
QString TimeToStr(TDateTime value);
QString DateTimeToStr(TDateTime value);

// Reads what DateTimeToStr writes (a short date, optionally followed by a time
// with hours, minutes and optional seconds). Raises TnvConvertError
// "'<text>' is not a valid date and time", also for an impossible date.
// Also reads a time alone (on 30/12/1899), seconds with a fraction
// ("10:20:30.25"), and "am"/"pm" after the time; a year of one or two digits
// is taken as 2000 + year. The date's order follows ShortDateFormat.
TDateTime StrToDateTime(const QString& text);
bool TryStrToDateTime(const QString& text, TDateTime& value);

} // namespace nv

#pragma once

#include <QString>

// Text-to-number conversions with the platform's rules and error texts.
namespace nv {

// Decimal with an optional sign, or hexadecimal with a "$", "0x" or "0X"
// prefix; leading blanks are skipped, trailing ones are not. Hexadecimal is a
// 32-bit pattern ("$FFFFFFFF" is -1). Raises TnvConvertError
// "'<text>' is not a valid integer value" for anything else or on overflow.
int StrToInt(const QString& text);

// As StrToInt, but reports failure instead of raising; value is untouched then.
bool TryStrToInt(const QString& text, int& value);

// A real written with the process-wide decimal separator (see NvFormat.h);
// raises TnvConvertError "'<text>' is not a valid floating point value".
double StrToFloat(const QString& text);

// As StrToFloat, but reports failure instead of raising; value is untouched then.
// "INF", "-INF" and "NAN" (any case) are read back as FormatFloat writes them.
bool TryStrToFloat(const QString& text, double& value);

} // namespace nv

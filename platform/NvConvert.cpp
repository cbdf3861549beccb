#include "NvConvert.h"

#include "NvFormat.h"
#include "TnvError.h"

#include <QLocale>
#include <cmath>
#include <cstdint>
#include <limits>

namespace nv {

namespace {

int DigitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    int digit = 99;
    if (u >= '0' && u <= '9')
        digit = u - '0';
    else if (u >= 'a' && u <= 'f')
        digit = u - 'a' + 10;
    else if (u >= 'A' && u <= 'F')
        digit = u - 'A' + 10;
    return digit < base ? digit : -1;
}

// Hexadecimal texts are bit patterns: up to 32 bits are accepted and taken as
// two's complement, so "$FFFFFFFF" is -1 as the stored files expect.
bool ParseInteger(const QString& text, int& value) {
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size && text[pos] == u' ')
        ++pos;
    bool negative = false;
    if (pos < size && (text[pos] == u'-' || text[pos] == u'+')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    int base = 10;
    if (pos < size && text[pos] == u'$') {
        base = 16;
        ++pos;
    } else if (pos + 1 < size && text[pos] == u'0' &&
               (text[pos + 1] == u'x' || text[pos + 1] == u'X')) {
        base = 16;
        pos += 2;
    }
    if (pos == size)
        return false;
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    std::uint64_t magnitude = 0;
    for (; pos < size; ++pos) {
        const int digit = DigitValue(text[pos], base);
        if (digit < 0)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    auto bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    value = static_cast<int>(bits);
    return true;
}

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsSign(QChar c) {
    return c == u'+' || c == u'-';
}

// "INF", "-INF", "NAN" in any case, as FormatFloat writes them.
bool ReadNonFinite(const QString& text, double& value) {
    const bool negative = text.startsWith(u'-');
    const QStringView word = QStringView(text).mid(!text.isEmpty() && IsSign(text[0]) ? 1 : 0);
    if (word.compare(u"NAN", Qt::CaseInsensitive) == 0)
        value = std::numeric_limits<double>::quiet_NaN();
    else if (word.compare(u"INF", Qt::CaseInsensitive) == 0)
        value = negative ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::infinity();
    else
        return false;
    return true;
}

// Checks [sign] digits [separator digits] [e [sign] digits] with at least one
// mantissa digit, and writes it with "." as the decimal point.
bool ToCNumber(const QString& text, QChar separator, QString& plain) {
    qsizetype pos = 0;
    const qsizetype size = text.size();
    auto takeDigits = [&] {
        const qsizetype start = pos;
        while (pos < size && IsAsciiDigit(text[pos]))
            plain += text[pos++];
        return pos - start;
    };
    if (pos < size && IsSign(text[pos]))
        plain += text[pos++];
    qsizetype digits = takeDigits();
    if (pos < size && text[pos] == separator) {
        ++pos;
        plain += u'.';
        digits += takeDigits();
    }
    if (digits == 0)
        return false;
    if (pos < size && (text[pos] == u'e' || text[pos] == u'E')) {
        plain += text[pos++];
        if (pos < size && IsSign(text[pos]))
            plain += text[pos++];
        if (takeDigits() == 0)
            return false;
    }
    return pos == size;
}

} // namespace

int StrToInt(const QString& text) {
    int value = 0;
    if (!ParseInteger(text, value))
        throw TnvConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

bool TryStrToInt(const QString& text, int& value) {
    return ParseInteger(text, value);
}

bool TryStrToFloat(const QString& text, double& value) {
    const QString trimmed = text.trimmed();
    if (ReadNonFinite(trimmed, value))
        return true;
    QString plain;
    if (!ToCNumber(trimmed, FormatSettings().DecimalSeparator, plain))
        return false;
    bool ok = false;
    const double result = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(result))
        return false;
    value = result;
    return true;
}

double StrToFloat(const QString& text) {
    double value = 0;
    if (!TryStrToFloat(text, value))
        throw TnvConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

} // namespace nv

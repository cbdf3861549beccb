#include "NvFormat.h"

#include <QStringList>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace nv {

namespace {

TFormatSettings gSettings;

// A non-negative decimal number: Digits are the significant digits (the first
// non-zero, no trailing zeros, empty for zero) and Point is the count of
// digits before the decimal point (negative for values below 0.1).
struct TDecimal {
    std::string Digits;
    int Point = 0;

    bool IsZero() const { return Digits.empty(); }
    char DigitAt(int index) const {
        return index >= 0 && index < static_cast<int>(Digits.size()) ? Digits[index] : '0';
    }
};

void TrimTrailingZeros(TDecimal& d) {
    while (!d.Digits.empty() && d.Digits.back() == '0')
        d.Digits.pop_back();
    if (d.Digits.empty())
        d.Point = 0;
}

// The magnitude taken to 15 significant digits, the precision a double
// reliably holds; rounding later works on these decimal digits, so 0.15 is
// 0.15 and not 0.1499999...
TDecimal ToDecimal(double magnitude) {
    TDecimal d;
    if (magnitude == 0)
        return d;
    char text[40];
    std::snprintf(text, sizeof text, "%.14e", magnitude); // d.dddddddddddddde+XXX
    d.Digits.push_back(text[0]);
    d.Digits.append(text + 2, 14);
    d.Point = std::atoi(text + 17) + 1;
    TrimTrailingZeros(d);
    return d;
}

// Keeps the first `keep` significant digits, rounding half away from zero.
void RoundToDigits(TDecimal& d, int keep) {
    if (keep >= static_cast<int>(d.Digits.size()))
        return;
    if (keep < 0) {
        d.Digits.clear();
        d.Point = 0;
        return;
    }
    const bool up = d.Digits[keep] >= '5';
    d.Digits.resize(keep);
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.Digits[i] == '9')
            d.Digits[i--] = '0';
        if (i < 0) {
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.Point;
        } else {
            ++d.Digits[i];
        }
    }
    TrimTrailingZeros(d);
}

void RoundToDecimals(TDecimal& d, int decimals) {
    RoundToDigits(d, d.Point + decimals);
}

// --- the pattern language ------------------------------------------------

struct TToken {
    enum class Kind { Literal, Digit, Point, Exponent };
    Kind Type = Kind::Literal;
    QString Text;              // Literal
    bool Zero = false;         // Digit: "0" (always shown) or "#"
    bool Fraction = false;     // Digit: after the decimal point
    QChar ExponentChar;        // Exponent: "E" or "e" as written
    bool ExponentPlus = false; // Exponent: "+" shows the sign of positive exponents too
    int ExponentDigits = 0;    // Exponent: minimum digit count
};

struct TSection {
    std::vector<TToken> Tokens;
    int IntCount = 0;  // integral digit placeholders
    int MinInt = 0;    // integral digits always shown
    int FracCount = 0; // decimals the value is rounded to
    int MinFrac = 0;   // decimals always shown
    bool Thousands = false;
    bool Scientific = false;
    bool HasPlaceholders = false;
};

TToken MakeToken(TToken::Kind kind, const QString& text = {}) {
    TToken token;
    token.Type = kind;
    token.Text = text;
    return token;
}

bool IsQuote(QChar c) {
    return c == u'\'' || c == u'"';
}

QStringList SplitSections(const QString& pattern) {
    QStringList sections;
    QString current;
    QChar quote;
    for (const QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == u';') {
            sections.append(current);
            current.clear();
            if (sections.size() == 3)
                return sections;
            continue;
        }
        current += c;
    }
    sections.append(current);
    return sections;
}

TSection ParseSection(const QString& text) {
    TSection s;
    bool afterPoint = false;
    int firstIntZero = -1;
    const qsizetype size = text.size();
    auto addLiteral = [&s](const QString& literal) {
        if (!s.Tokens.empty() && s.Tokens.back().Type == TToken::Kind::Literal)
            s.Tokens.back().Text += literal;
        else
            s.Tokens.push_back(MakeToken(TToken::Kind::Literal, literal));
    };
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (IsQuote(c)) {
            qsizetype end = text.indexOf(c, i + 1);
            if (end < 0)
                end = size;
            addLiteral(text.mid(i + 1, end - i - 1));
            i = end;
        } else if (c == u'0' || c == u'#') {
            TToken digit = MakeToken(TToken::Kind::Digit);
            digit.Zero = c == u'0';
            digit.Fraction = afterPoint;
            s.Tokens.push_back(digit);
            s.HasPlaceholders = true;
            if (afterPoint) {
                ++s.FracCount;
                if (digit.Zero)
                    s.MinFrac = s.FracCount;
            } else {
                if (digit.Zero && firstIntZero < 0)
                    firstIntZero = s.IntCount;
                ++s.IntCount;
            }
        } else if (c == u'.') {
            if (!afterPoint) {
                afterPoint = true;
                s.Tokens.push_back(MakeToken(TToken::Kind::Point));
                s.HasPlaceholders = true;
            }
        } else if (c == u',') {
            if (!afterPoint)
                s.Thousands = true;
        } else if ((c == u'E' || c == u'e') && !s.Scientific && i + 1 < size &&
                   (text[i + 1] == u'+' || text[i + 1] == u'-')) {
            TToken exponent = MakeToken(TToken::Kind::Exponent);
            exponent.ExponentChar = c;
            exponent.ExponentPlus = text[i + 1] == u'+';
            i += 2;
            while (i < size && (text[i] == u'0' || text[i] == u'#')) {
                if (text[i] == u'0')
                    ++exponent.ExponentDigits;
                ++i;
            }
            --i;
            s.Tokens.push_back(exponent);
            s.Scientific = true;
        } else {
            addLiteral(QString(c));
        }
    }
    s.MinInt = firstIntZero < 0 ? 0 : s.IntCount - firstIntZero;
    return s;
}

// The digits one section shows: the integral digits (most significant first),
// the decimals, and the decimal exponent for scientific notation.
struct TShownDigits {
    std::string Integral;
    std::string Fraction;
    int Exponent = 0;
};

TShownDigits ShownDigits(const TSection& s, double magnitude) {
    TShownDigits shown;
    TDecimal d = ToDecimal(magnitude);
    if (s.Scientific) {
        const int integral = std::max(s.IntCount, 1);
        if (!d.IsZero()) {
            RoundToDigits(d, integral + s.FracCount);
            shown.Exponent = d.Point - integral;
            for (int i = 0; i < integral; ++i)
                shown.Integral += d.DigitAt(i);
            for (int i = 0; i < s.FracCount; ++i)
                shown.Fraction += d.DigitAt(integral + i);
        }
    } else {
        RoundToDecimals(d, s.FracCount);
        for (int i = 0; i < d.Point; ++i)
            shown.Integral += d.DigitAt(i);
        for (int i = 0; i < s.FracCount; ++i)
            shown.Fraction += d.DigitAt(d.Point + i);
    }
    if (static_cast<int>(shown.Integral.size()) < s.MinInt)
        shown.Integral.insert(0, s.MinInt - shown.Integral.size(), '0');
    while (static_cast<int>(shown.Fraction.size()) > s.MinFrac && shown.Fraction.back() == '0')
        shown.Fraction.pop_back();
    if (static_cast<int>(shown.Fraction.size()) < s.MinFrac)
        shown.Fraction.append(s.MinFrac - shown.Fraction.size(), '0');
    return shown;
}

bool RoundsToZero(const TSection& s, double magnitude) {
    if (s.Scientific)
        return magnitude == 0;
    TDecimal d = ToDecimal(magnitude);
    RoundToDecimals(d, s.FracCount);
    return d.IsZero();
}

class TSectionWriter {
public:
    TSectionWriter(const TSection& section, const TShownDigits& shown, bool minus)
        : FSection(section)
        , FShown(shown)
        , FMinus(minus) {}

    QString Write() {
        for (const TToken& token : FSection.Tokens) {
            switch (token.Type) {
            case TToken::Kind::Literal:
                FText += token.Text;
                break;
            case TToken::Kind::Digit:
                token.Fraction ? WriteFractionDigit() : WriteIntegralDigit();
                break;
            case TToken::Kind::Point:
                WritePoint();
                break;
            case TToken::Kind::Exponent:
                WriteExponent(token);
                break;
            }
        }
        return FText;
    }

private:
    void WriteSign() {
        if (FMinus)
            FText += u'-';
        FMinus = false;
    }

    // Writes the integral digit of decimal position `position` (0 = units).
    void WriteIntegralDigitAt(int position) {
        const int count = static_cast<int>(FShown.Integral.size());
        FText += QChar::fromLatin1(FShown.Integral[count - 1 - position]);
        if (FSection.Thousands && position > 0 && position % 3 == 0)
            FText += gSettings.ThousandSeparator;
    }

    // The first placeholder also takes every digit the pattern has no room for.
    void WriteIntegralDigit() {
        WriteSign();
        const int count = static_cast<int>(FShown.Integral.size());
        const int position = FSection.IntCount - 1 - FIntIndex++;
        const int highest = FIntIndex == 1 ? count - 1 : position;
        for (int p = std::min(highest, count - 1); p >= position && p >= 0; --p)
            WriteIntegralDigitAt(p);
    }

    void WritePoint() {
        WriteSign();
        if (FSection.IntCount == 0) {
            for (int p = static_cast<int>(FShown.Integral.size()) - 1; p >= 0; --p)
                WriteIntegralDigitAt(p);
        }
        if (!FShown.Fraction.empty())
            FText += gSettings.DecimalSeparator;
    }

    void WriteFractionDigit() {
        if (FFracIndex < static_cast<int>(FShown.Fraction.size()))
            FText += QChar::fromLatin1(FShown.Fraction[FFracIndex]);
        ++FFracIndex;
    }

    void WriteExponent(const TToken& token) {
        WriteSign();
        FText += token.ExponentChar;
        if (FShown.Exponent < 0)
            FText += u'-';
        else if (token.ExponentPlus)
            FText += u'+';
        const QString digits = QString::number(std::abs(FShown.Exponent));
        FText +=
            QString(std::max<qsizetype>(token.ExponentDigits - digits.size(), 0), u'0') + digits;
    }

    const TSection& FSection;
    const TShownDigits& FShown;
    bool FMinus;
    QString FText;
    int FIntIndex = 0;
    int FFracIndex = 0;
};

QString FormatSection(const TSection& section, double magnitude, bool minus) {
    if (!section.HasPlaceholders && !section.Scientific)
        return TSectionWriter(section, {}, false).Write();
    return TSectionWriter(section, ShownDigits(section, magnitude), minus).Write();
}

QString NonFinite(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

} // namespace

const TFormatSettings& FormatSettings() {
    return gSettings;
}

void SetFormatSettings(const TFormatSettings& settings) {
    gSettings = settings;
}

QString FloatToStr(double value) {
    if (!std::isfinite(value))
        return NonFinite(value);
    const TDecimal d = ToDecimal(std::fabs(value));
    if (d.IsZero())
        return QStringLiteral("0");
    QString text = value < 0 ? QStringLiteral("-") : QString();
    const int exponent = d.Point - 1;
    const QString digits =
        QString::fromLatin1(d.Digits.data(), static_cast<qsizetype>(d.Digits.size()));
    if (exponent < -5 || exponent >= 15) {
        text += digits[0];
        if (digits.size() > 1)
            text += gSettings.DecimalSeparator + digits.mid(1);
        return text + u'E' + QString::number(exponent);
    }
    if (d.Point <= 0)
        return text + u'0' + gSettings.DecimalSeparator + QString(-d.Point, u'0') + digits;
    text += digits.left(d.Point) + QString(std::max<qsizetype>(d.Point - digits.size(), 0), u'0');
    if (digits.size() > d.Point)
        text += gSettings.DecimalSeparator + digits.mid(d.Point);
    return text;
}

QString FormatFloat(const QString& pattern, double value) {
    if (!std::isfinite(value))
        return NonFinite(value);
    const QStringList sections = SplitSections(pattern);
    auto sectionText = [&sections](int index) {
        return index < sections.size() ? sections[index] : QString();
    };
    const double magnitude = std::fabs(value);
    const QString zeroText = sectionText(2).isEmpty() ? sectionText(0) : sectionText(2);
    if (value == 0) {
        if (zeroText.isEmpty())
            return FloatToStr(0);
        return FormatSection(ParseSection(zeroText), 0, false);
    }
    const bool ownNegative = value < 0 && !sectionText(1).isEmpty();
    const QString text = ownNegative ? sectionText(1) : sectionText(0);
    if (text.isEmpty())
        return FloatToStr(value);
    const TSection section = ParseSection(text);
    if (RoundsToZero(section, magnitude)) {
        if (!sectionText(2).isEmpty())
            return FormatSection(ParseSection(sectionText(2)), 0, false);
        return FormatSection(section, 0, false);
    }
    return FormatSection(section, magnitude, value < 0 && !ownNegative);
}

} // namespace nv

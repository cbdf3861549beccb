#include "NvFormat.h"

#include "TnvError.h"

#include <array>
#include <cmath>

namespace nv {

namespace {

constexpr std::array<const char*, 12> kShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> kLongMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kShortDayNames = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> kLongDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};

// Short date and long time formats may name each other; deeper nesting is cut.
constexpr int kMaxNesting = 2;

bool IsQuote(QChar c) {
    return c == u'\'' || c == u'"';
}

template <std::size_t N>
QString Name(const std::array<const char*, N>& names, int oneBased) {
    if (oneBased < 1 || oneBased > static_cast<int>(N))
        return {};
    return QString::fromLatin1(names[oneBased - 1]);
}

QString Number(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QChar(u'0'));
}

bool MatchesAt(const QString& pattern, qsizetype pos, QStringView word) {
    return QStringView(pattern).mid(pos, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// The length of an am/pm code at pos ("am/pm", "a/p", "ampm"), or 0.
qsizetype AmPmLength(const QString& pattern, qsizetype pos) {
    if (MatchesAt(pattern, pos, u"am/pm"))
        return 5;
    if (MatchesAt(pattern, pos, u"a/p"))
        return 3;
    if (MatchesAt(pattern, pos, u"ampm"))
        return 4;
    return 0;
}

bool HasAmPm(const QString& pattern) {
    QChar quote;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (IsQuote(c)) {
            quote = c;
        } else if (AmPmLength(pattern, i) > 0) {
            return true;
        }
    }
    return false;
}

class TDateTimeWriter {
public:
    explicit TDateTimeWriter(TDateTime value) {
        DecodeDate(value, FYear, FMonth, FDay);
        DecodeTime(value, FHour, FMin, FSec, FMSec);
        FDayOfWeek = DayOfWeek(value);
    }

    QString Write(const QString& pattern) {
        Append(pattern, 0);
        return FText;
    }

private:
    void Append(const QString& pattern, int depth) {
        if (depth > kMaxNesting)
            return;
        const bool twelveHour = HasAmPm(pattern);
        QChar lastToken;
        qsizetype i = 0;
        while (i < pattern.size()) {
            const QChar c = pattern[i];
            if (IsQuote(c)) {
                qsizetype end = pattern.indexOf(c, i + 1);
                if (end < 0)
                    end = pattern.size();
                FText += QStringView(pattern).mid(i + 1, end - i - 1);
                i = end + 1;
                continue;
            }
            QChar token = c.toUpper();
            const bool letter = token >= u'A' && token <= u'Z';
            if (letter) {
                if (token == u'M' && lastToken == u'H')
                    token = u'N';
                lastToken = token;
            }
            qsizetype count = 1;
            while (letter && i + count < pattern.size() &&
                   pattern[i + count].toUpper() == c.toUpper())
                ++count;
            i += AppendToken(pattern, i, token, count, twelveHour, depth);
        }
    }

    // Appends the code at pos and returns how many characters it took.
    qsizetype AppendToken(const QString& pattern, qsizetype pos, QChar token, qsizetype count,
                          bool twelveHour, int depth) {
        const TFormatSettings& settings = FormatSettings();
        switch (token.unicode()) {
        case u'Y':
            FText += count <= 2 ? Number(FYear % 100, 2) : Number(FYear, 4);
            return count;
        case u'M':
            AppendMonth(count);
            return count;
        case u'D':
            AppendDay(count, depth);
            return count;
        case u'H':
            FText += Number(twelveHour ? (FHour + 11) % 12 + 1 : FHour, count >= 2 ? 2 : 0);
            return std::min<qsizetype>(count, 2);
        case u'N':
            FText += Number(FMin, count >= 2 ? 2 : 0);
            return std::min<qsizetype>(count, 2);
        case u'S':
            FText += Number(FSec, count >= 2 ? 2 : 0);
            return std::min<qsizetype>(count, 2);
        case u'Z':
            FText += Number(FMSec, count >= 3 ? 3 : 0);
            return std::min<qsizetype>(count, 3);
        case u'T':
            Append(count == 1 ? settings.ShortTimeFormat : settings.LongTimeFormat, depth + 1);
            return std::min<qsizetype>(count, 2);
        case u'C':
            AppendDateAndTime(depth);
            return count;
        case u'A':
            return AppendAmPm(pattern, pos);
        case u'/':
            FText += settings.DateSeparator;
            return 1;
        case u':':
            FText += settings.TimeSeparator;
            return 1;
        default:
            FText += QStringView(pattern).mid(pos, count);
            return count;
        }
    }

    void AppendMonth(qsizetype count) {
        if (count <= 2)
            FText += Number(FMonth, count == 2 ? 2 : 0);
        else
            FText += count == 3 ? Name(kShortMonthNames, FMonth) : Name(kLongMonthNames, FMonth);
    }

    void AppendDay(qsizetype count, int depth) {
        const TFormatSettings& settings = FormatSettings();
        switch (count) {
        case 1:
        case 2:
            FText += Number(FDay, count == 2 ? 2 : 0);
            break;
        case 3:
            FText += Name(kShortDayNames, FDayOfWeek);
            break;
        case 4:
            FText += Name(kLongDayNames, FDayOfWeek);
            break;
        case 5:
            Append(settings.ShortDateFormat, depth + 1);
            break;
        default:
            Append(settings.LongDateFormat, depth + 1);
            break;
        }
    }

    // The time is left out when the value's time of day shows as midnight.
    void AppendDateAndTime(int depth) {
        const TFormatSettings& settings = FormatSettings();
        Append(settings.ShortDateFormat, depth + 1);
        if (FHour != 0 || FMin != 0 || FSec != 0) {
            FText += u' ';
            Append(settings.LongTimeFormat, depth + 1);
        }
    }

    // "am/pm" and "a/p" are written in the letter case of the pattern.
    qsizetype AppendAmPm(const QString& pattern, qsizetype pos) {
        const bool pm = FHour >= 12;
        const qsizetype length = AmPmLength(pattern, pos);
        switch (length) {
        case 5:
            FText += pattern.mid(pm ? pos + 3 : pos, 2);
            break;
        case 3:
            FText += pattern.mid(pm ? pos + 2 : pos, 1);
            break;
        case 4:
            FText += pm ? QStringLiteral("PM") : QStringLiteral("AM");
            break;
        default:
            FText += pattern[pos];
            return 1;
        }
        return length;
    }

    int FYear = 0, FMonth = 0, FDay = 0;
    int FHour = 0, FMin = 0, FSec = 0, FMSec = 0;
    int FDayOfWeek = 0;
    QString FText;
};

// --- reading ---------------------------------------------------------------

class TDateTimeReader {
public:
    explicit TDateTimeReader(const QString& text)
        : FText(text.trimmed()) {}

    bool Read(TDateTime& value) {
        TDateTime date = 0;
        const bool hasDate = ReadDate(date);
        if (!hasDate)
            FPos = 0;
        if (AtEnd())
            return hasDate && Finish(date, 0, value);
        if (hasDate && !SkipBlanks())
            return false;
        TDateTime time = 0;
        if (!ReadTime(time))
            return false;
        SkipBlanks();
        return AtEnd() && Finish(date, time, value);
    }

private:
    bool AtEnd() const { return FPos == FText.size(); }

    bool SkipBlanks() {
        const qsizetype start = FPos;
        while (!AtEnd() && FText[FPos] == u' ')
            ++FPos;
        return FPos > start;
    }

    // Up to maxDigits decimal digits; the count read goes to digits.
    bool ReadNumber(int maxDigits, int& value, int& digits) {
        value = 0;
        digits = 0;
        while (!AtEnd() && digits < maxDigits && FText[FPos] >= u'0' && FText[FPos] <= u'9') {
            value = value * 10 + (FText[FPos].unicode() - u'0');
            ++digits;
            ++FPos;
        }
        return digits > 0;
    }

    bool ReadChar(QChar c) {
        if (AtEnd() || FText[FPos] != c)
            return false;
        ++FPos;
        return true;
    }

    bool ReadDate(TDateTime& date) {
        const QChar separator = FormatSettings().DateSeparator;
        int numbers[3] = {};
        int digits[3] = {};
        for (int k = 0; k < 3; ++k) {
            if (k > 0 && !ReadChar(separator))
                return false;
            if (!ReadNumber(4, numbers[k], digits[k]))
                return false;
        }
        const QString order = DateOrder();
        int year = 0, month = 0, day = 0;
        for (int k = 0; k < 3; ++k) {
            if (order[k] == u'Y')
                year = digits[k] <= 2 ? 2000 + numbers[k] : numbers[k];
            else if (order[k] == u'M')
                month = numbers[k];
            else
                day = numbers[k];
        }
        return TryEncodeDate(year, month, day, date);
    }

    // The order of day, month and year in the short date format ("DMY").
    static QString DateOrder() {
        QString order;
        for (const QChar c : FormatSettings().ShortDateFormat) {
            const QChar upper = c.toUpper();
            if ((upper == u'D' || upper == u'M' || upper == u'Y') && !order.contains(upper))
                order += upper;
        }
        return order.size() == 3 ? order : QStringLiteral("DMY");
    }

    bool ReadTime(TDateTime& time) {
        const QChar separator = FormatSettings().TimeSeparator;
        int hour = 0, min = 0, sec = 0, msec = 0, digits = 0;
        if (!ReadNumber(2, hour, digits) || !ReadChar(separator) || !ReadNumber(2, min, digits))
            return false;
        if (ReadChar(separator)) {
            if (!ReadNumber(2, sec, digits))
                return false;
            if (ReadChar(FormatSettings().DecimalSeparator)) {
                if (!ReadNumber(3, msec, digits))
                    return false;
                for (; digits < 3; ++digits)
                    msec *= 10;
            }
        }
        const qsizetype beforeBlanks = FPos;
        SkipBlanks();
        if (!ReadAmPm(hour))
            FPos = beforeBlanks;
        return TryEncodeTime(hour, min, sec, msec, time);
    }

    // An "am" or "pm" (also "a" or "p") after a 12-hour time.
    bool ReadAmPm(int& hour) {
        for (const QStringView word : {u"am", u"pm", u"a", u"p"}) {
            if (QStringView(FText).mid(FPos).compare(word, Qt::CaseInsensitive) == 0) {
                if (hour < 1 || hour > 12)
                    hour = 99; // refused by the encoding
                else
                    hour = hour % 12 + (word.front() == u'p' ? 12 : 0);
                FPos = FText.size();
                return true;
            }
        }
        return false;
    }

    static bool Finish(TDateTime date, TDateTime time, TDateTime& value) {
        value = ComposeDateTime(date, time);
        return true;
    }

    QString FText;
    qsizetype FPos = 0;
};

} // namespace

QString FormatDateTime(const QString& pattern, TDateTime value) {
    return TDateTimeWriter(value).Write(pattern.isEmpty() ? QStringLiteral("c") : pattern);
}

QString DateToStr(TDateTime value) {
    return TDateTimeWriter(value).Write(FormatSettings().ShortDateFormat);
}

QString TimeToStr(TDateTime value) {
    return TDateTimeWriter(value).Write(FormatSettings().LongTimeFormat);
}

QString DateTimeToStr(TDateTime value) {
    return TDateTimeWriter(value).Write(QStringLiteral("c"));
}

bool TryStrToDateTime(const QString& text, TDateTime& value) {
    return TDateTimeReader(text).Read(value);
}

TDateTime StrToDateTime(const QString& text) {
    TDateTime value = 0;
    if (!TryStrToDateTime(text, value))
        throw TnvConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    return value;
}

} // namespace nv

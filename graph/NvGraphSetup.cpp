#include "NvGraphSetup.h"

#include "NvConvert.h"
#include "NvFormat.h"
#include "TnvBrush.h"
#include "TnvError.h"
#include "TnvFont.h"
#include "TnvPen.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace nv {

namespace {

// The field before the first comma; rest keeps what follows it.
QString TakeField(QString& rest) {
    const qsizetype comma = rest.indexOf(',');
    QString field;
    if (comma < 0) {
        field = rest;
        rest.clear();
    } else {
        field = rest.left(comma);
        rest = rest.mid(comma + 1);
    }
    return field;
}

int ReadOrdinal(const QString& text, int count, const char* what) {
    const int value = StrToInt(text);
    if (value < 0 || value >= count)
        throw TnvConvertError(QString("'%1' is not a valid %2").arg(text, what));
    return value;
}

} // namespace

QStringList SplitSetupLines(const QString& text) {
    static const QRegularExpression breaks("\r\n|\r|\n");
    return text.split(breaks);
}

bool IsSetupLine(const QString& line, const QString& word) {
    return line.trimmed() == word;
}

QStringList CutSetupBlock(const QStringList& lines, qsizetype& index) {
    QStringList block;
    int depth = 0;
    while (index + 1 < lines.size()) {
        const QString& line = lines[++index];
        block << line;
        if (IsSetupLine(line, "Begin"))
            ++depth;
        else if (IsSetupLine(line, "End"))
            --depth;
        if (depth <= 0)
            break;
    }
    return block;
}

void TSetupWriter::Key(const QString& key, const QString& value) {
    if (!value.isEmpty())
        FLines << key + '=' + value;
}

void TSetupWriter::Block(const QString& text) {
    if (!text.isEmpty())
        FLines << text;
}

QString TSetupWriter::Text() const {
    return TrimSetup(FLines.join("\r\n"));
}

TSetupReader::TSetupReader(const QStringList& lines) {
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed().toLower();
        if (!FValues.contains(key))
            FValues.insert(key, line.mid(equals + 1));
    }
}

QString TSetupReader::Value(const QString& key) const {
    return FValues.value(key.toLower());
}

QString TrimSetup(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 32)
        ++first;
    while (last > first && text[last - 1].unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

QString SetupBool(bool value) {
    return value ? "true" : "false";
}

bool ReadSetupBool(const QString& value) {
    return value == "true";
}

int ReadSetupInt(const QString& value) {
    return StrToInt(value);
}

QString SetupRect(const TnvRect& r) {
    return QString("%1,%2,%3,%4").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom);
}

TnvRect ReadSetupRect(const QString& value) {
    QString rest = value;
    TnvRect r;
    r.Left = StrToInt(TakeField(rest));
    r.Top = StrToInt(TakeField(rest));
    r.Right = StrToInt(TakeField(rest));
    r.Bottom = StrToInt(rest);
    return r;
}

QString SetupPen(const TnvPen& pen) {
    return QString("%1,%2,%3,%4")
        .arg(pen.GetColor())
        .arg(static_cast<int>(pen.GetMode()))
        .arg(static_cast<int>(pen.GetStyle()))
        .arg(pen.GetWidth());
}

void ReadSetupPen(const QString& value, TnvPen& pen) {
    QString rest = value;
    const int color = StrToInt(TakeField(rest));
    const int mode = ReadOrdinal(TakeField(rest), 16, "pen mode");
    const int style = ReadOrdinal(TakeField(rest), 7, "pen style");
    const int width = StrToInt(rest);
    pen.Assign(
        TnvPen(color, static_cast<TnvPenMode>(mode), static_cast<TnvPenStyle>(style), width));
}

QString SetupBrush(const TnvBrush& brush) {
    return QString("%1,%2").arg(brush.GetColor()).arg(static_cast<int>(brush.GetStyle()));
}

void ReadSetupBrush(const QString& value, TnvBrush& brush) {
    QString rest = value;
    const int color = StrToInt(TakeField(rest));
    const int style = ReadOrdinal(rest, 8, "brush style");
    brush.Assign(TnvBrush(color, static_cast<TnvBrushStyle>(style)));
}

QString SetupFont(const TnvFont& font) {
    const unsigned styles = font.GetStyles();
    QString letter;
    if (styles & fsBold)
        letter = "B";
    else if (styles & fsItalic)
        letter = "I";
    else if (styles & fsStrikeOut)
        letter = "S";
    else if (styles & fsUnderline)
        letter = "U";
    return QString("%1,%2,%3,%4")
        .arg(font.GetColor())
        .arg(font.GetName())
        .arg(font.GetSize())
        .arg(letter);
}

void ReadSetupFont(const QString& value, TnvFont& font) {
    QString rest = value;
    const int color = StrToInt(TakeField(rest));
    const QString name = TakeField(rest);
    const int size = StrToInt(TakeField(rest));
    unsigned styles = font.GetStyles();
    if (rest == "B")
        styles |= fsBold;
    else if (rest == "I")
        styles |= fsItalic;
    else if (rest == "S")
        styles |= fsStrikeOut;
    else if (rest == "U")
        styles |= fsUnderline;
    font.Assign(TnvFont(color, name, size, styles));
}

QString SetupFloat(double value) {
    QString text = FloatToStr(value);
    const QChar separator = FormatSettings().DecimalSeparator;
    if (separator != '.')
        text.replace(separator, '.');
    return text;
}

double ReadSetupFloat(const QString& value) {
    const QString text = value.trimmed();
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double result = c.toDouble(text, &ok);
    if (ok)
        return result;
    const QString upper = text.toUpper();
    if (upper == "INF" || upper == "+INF")
        return std::numeric_limits<double>::infinity();
    if (upper == "-INF")
        return -std::numeric_limits<double>::infinity();
    if (upper == "NAN")
        return std::numeric_limits<double>::quiet_NaN();
    throw TnvConvertError(QString("'%1' is not a valid floating point value").arg(value));
}

QString SetupPair(double a, double b) {
    return SetupFloat(a) + ',' + SetupFloat(b);
}

std::pair<double, double> ReadSetupPair(const QString& value) {
    QString rest = value;
    const double a = ReadSetupFloat(TakeField(rest));
    return {a, ReadSetupFloat(rest)};
}

} // namespace nv

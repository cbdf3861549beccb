#pragma once

#include "NvGraphTypes.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <utility>

class TnvPen;
class TnvBrush;
class TnvFont;

// The setup text of a graph: blocks of key lines. Readers raise
// TnvConvertError for a malformed number, rectangle, pen, brush or font.
namespace nv {

// Lines of a text; CR, LF or both end a line.
QStringList SplitSetupLines(const QString& text);

// Whether line is the block header or keyword word (surrounding blanks ignored).
bool IsSetupLine(const QString& line, const QString& word);

// The block whose header is lines[index]: the lines from the "Begin" after it up
// to and including the "End" that closes it (nested blocks counted). index is
// left on the last line taken.
QStringList CutSetupBlock(const QStringList& lines, qsizetype& index);

// Collects the lines of one block as a writer produces them.
class TSetupWriter {
public:
    void Line(const QString& line) { FLines << line; }
    // Leaves out a key whose value is empty.
    void Key(const QString& key, const QString& value);
    // A child's whole text, added as its lines.
    void Block(const QString& text);
    // The lines joined by CR LF, without leading or trailing blanks.
    QString Text() const;

private:
    QStringList FLines;
};

// The key lines of a block: the first line whose key matches (case ignored) gives
// the value; a missing key reads as the empty string.
class TSetupReader {
public:
    explicit TSetupReader(const QStringList& lines);
    QString Value(const QString& key) const;

private:
    QHash<QString, QString> FValues;
};

// Removes leading and trailing characters with codes up to 32.
QString TrimSetup(const QString& text);

QString SetupBool(bool value);
bool ReadSetupBool(const QString& value);

int ReadSetupInt(const QString& value);

QString SetupRect(const TnvRect& rect);
TnvRect ReadSetupRect(const QString& value);

QString SetupPen(const TnvPen& pen);
void ReadSetupPen(const QString& value, TnvPen& pen);

QString SetupBrush(const TnvBrush& brush);
void ReadSetupBrush(const QString& value, TnvBrush& brush);

QString SetupFont(const TnvFont& font);
// Colour, name and size replace the font's; a style letter is added to its styles.
void ReadSetupFont(const QString& value, TnvFont& font);

// Reals are written with "." whatever the process-wide separator, so a text
// written under one number format reads back under another.
QString SetupFloat(double value);
double ReadSetupFloat(const QString& value);

QString SetupPair(double a, double b);
std::pair<double, double> ReadSetupPair(const QString& value);

} // namespace nv

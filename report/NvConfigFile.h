#pragma once

#include "NvDateTime.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class TnvParValue;
class TnvParValueSet;

// The ".720" configuration file, the printed configuration report and the
// comparison of two configurations, all on value sets loaded with the
// category "ExportFile". GUI thread (the values' accessors run there).
namespace nv {

// Dates in a configuration file are written and read with this year base.
constexpr std::uint16_t kConfigYearBase = 2000;
// What the header's "Version=" line carries, and the report's title names.
inline const QString kConfigVersion = QStringLiteral("2.07");

// The text of element k as the file carries it: integers in decimal with
// their signedness, bit fields as the whole word, dates and times as the
// platform's date-time text, strings whole; empty for other types.
QString ConfigElementText(TnvParValue& value, std::uint8_t k);
// Stores text into element k with the setter of its type. A text that is not
// an integer raises TnvConvertError "'<text>' is not a valid integer value",
// one outside the element's range "'<text>' is out of range for <Name>", a
// bad date or time the date-time conversion error. Other types: nothing.
void SetConfigElementText(TnvParValue& value, std::uint8_t k, const QString& text);

// The whole file, one string a line, without line ends.
QStringList ConfigFileLines(const TnvParValueSet& set);
// Writes the file with CR LF line ends, whole or not at all: an existing file
// stays as it was when anything fails. False with the reason in error.
bool SaveConfigFile(const TnvParValueSet& set, const QString& fileName, QString& error);

// A file's "name=value" lines by name without regard to case; the first line
// of a name wins, section lines and lines without "=" play no role.
class TnvConfigKeys {
public:
    // False with the reason in error when the file cannot be read.
    bool Read(const QString& fileName, QString& error);
    void SetLines(const QStringList& lines);
    // The value of key, or a null string when no line carries it.
    QString Value(const QString& key) const;

private:
    QHash<QString, QString> FValues;
};

// Stores the file's value of every element of every value, in list order,
// with SetConfigElementText; raises its errors (a missing key reads as an
// empty text, which is no integer). Nothing is sent.
void ApplyConfigKeys(TnvParValueSet& set, const TnvConfigKeys& keys);

// The printed report: title, date, slave, drive size, then one line per value
// but the drive size, and "__".
QStringList ConfigReportLines(TnvParValueSet& set, int slave, nv::TDateTime now);
// The report's text of the drive-size code ("400V 8A(12A) 128Hz").
QString DriveSizeText(std::uint16_t code);

// One element whose texts differ between two sets of the same definitions.
struct TConfigDifference {
    std::uint32_t Index = 0;
    std::uint8_t Element = 0;
    std::uint8_t Length = 1; // of the parameter, to show the element only when it has several
    QString Name;
    QString Drive;
    QString File;
};
// The elements whose file texts differ, in list order; the values are paired
// by index.
std::vector<TConfigDifference> CompareConfigs(TnvParValueSet& drive, TnvParValueSet& file);

} // namespace nv

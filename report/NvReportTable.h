#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace nv {

// The records of a TABLE tag's data set, every field as text.
struct TnvTableData {
    QStringList Fields;            // field names in the data set's order
    std::vector<QStringList> Rows; // one entry per field
};

// Runs sql (or, when it is empty, reads the whole table named table) on the
// SQLite database file databaseFile, opened read-only so that no template can
// change it, keeping the records that satisfy filter (an SQL condition; empty
// keeps all). Stops with an error once the records hold more than maxChars
// characters. Raises TnvError "TABLE: ..." with the database's reason when
// the file, the query or the filter fails. Calling thread only; the
// connection is closed before returning.
TnvTableData QueryTable(const QString& databaseFile, const QString& sql, const QString& table,
                        const QString& filter, qsizetype maxChars);

} // namespace nv

#include "NvReportTable.h"

#include "TnvError.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>

namespace nv {
namespace {

QString QuotedIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace('"', QStringLiteral("\"\""));
    return '"' + quoted + '"';
}

QString DataSetSql(const QString& sql, const QString& table, const QString& filter) {
    QString source = sql.trimmed();
    while (source.endsWith(';'))
        source.chop(1);
    if (source.isEmpty())
        source = QStringLiteral("SELECT * FROM ") + QuotedIdentifier(table);
    if (filter.trimmed().isEmpty())
        return source;
    return QStringLiteral("SELECT * FROM (%1) WHERE (%2)").arg(source, filter);
}

TnvTableData ReadRecords(QSqlQuery& query, qsizetype maxChars) {
    TnvTableData data;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        data.Fields << record.fieldName(i);
    qsizetype chars = 0;
    while (query.next()) {
        QStringList row;
        for (int i = 0; i < record.count(); ++i) {
            row << query.value(i).toString();
            chars += row.back().size();
        }
        if (chars > maxChars)
            throw TnvError(
                QStringLiteral("TABLE: the records exceed %1 characters.").arg(maxChars));
        data.Rows.push_back(std::move(row));
    }
    return data;
}

// One connection per query, named uniquely and removed on every way out.
class TConnection {
public:
    explicit TConnection(const QString& file)
        : FName(QStringLiteral("nvReportHtml-%1").arg(++FSerial)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FName);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    }
    ~TConnection() {
        {
            QSqlDatabase db = QSqlDatabase::database(FName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(FName);
    }
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;
    QSqlDatabase Database() const { return QSqlDatabase::database(FName, false); }

private:
    static inline std::atomic<unsigned> FSerial{0};
    QString FName;
};

} // namespace

TnvTableData QueryTable(const QString& databaseFile, const QString& sql, const QString& table,
                        const QString& filter, qsizetype maxChars) {
    if (databaseFile.isEmpty())
        throw TnvError(QStringLiteral("TABLE: no database is given."));
    // SQLite would create a missing file even when asked to open it read-only
    // on some versions; a report never creates databases.
    if (!QFileInfo(databaseFile).isFile())
        throw TnvError(
            QStringLiteral("TABLE: cannot open database \"%1\": no such file.").arg(databaseFile));
    TConnection connection(databaseFile);
    TnvTableData data;
    {
        QSqlDatabase db = connection.Database();
        if (!db.open())
            throw TnvError(QStringLiteral("TABLE: cannot open database \"%1\": %2")
                               .arg(databaseFile, db.lastError().text()));
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const QString text = DataSetSql(sql, table, filter);
        if (!query.exec(text))
            throw TnvError(
                QStringLiteral("TABLE: %1 (in \"%2\")").arg(query.lastError().text(), text));
        data = ReadRecords(query, maxChars);
    }
    return data;
}

} // namespace nv

// sql-db: builds a SQLite database file from a text of SQL statements, so
// that the build needs no tool beyond Qt's own SQLite driver.
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTextStream>

namespace {

// The statements of text, split at the semicolons outside quotes and
// comments.
QStringList Statements(const QString& text) {
    QStringList statements;
    QString current;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quote.isNull() && c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
            while (i < text.size() && text[i] != '\n')
                ++i;
            continue;
        }
        if (quote.isNull() && (c == '\'' || c == '"'))
            quote = c;
        else if (c == quote)
            quote = QChar();
        if (quote.isNull() && c == ';') {
            if (!current.trimmed().isEmpty())
                statements << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

int Build(const QString& sqlFile, const QString& dbFile, QTextStream& err) {
    QFile source(sqlFile);
    if (!source.open(QIODevice::ReadOnly)) {
        err << "sql-db: cannot read " << sqlFile << ": " << source.errorString() << Qt::endl;
        return 1;
    }
    // Built beside the target and moved over it only when whole.
    const QString temporary = dbFile + ".part";
    QFile::remove(temporary);
    int result = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "sql-db");
        db.setDatabaseName(temporary);
        if (!db.open()) {
            err << "sql-db: cannot create " << temporary << ": " << db.lastError().text()
                << Qt::endl;
            result = 1;
        }
        QSqlQuery query(db);
        for (const QString& statement : Statements(QString::fromUtf8(source.readAll()))) {
            if (result == 0 && !query.exec(statement)) {
                err << "sql-db: " << sqlFile << ": " << query.lastError().text()
                    << "\n  in: " << statement << Qt::endl;
                result = 1;
            }
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("sql-db");
    if (result == 0) {
        QFile::remove(dbFile);
        if (!QFile::rename(temporary, dbFile)) {
            err << "sql-db: cannot write " << dbFile << Qt::endl;
            result = 1;
        }
    }
    QFile::remove(temporary);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "Usage: sql-db STATEMENTS.sql OUT.db" << Qt::endl;
        return 2;
    }
    return Build(args[1], args[2], err);
}

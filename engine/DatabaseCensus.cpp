#include "engine/DatabaseCensus.h"

#include "engine/Connection.h"
#include "engine/SqlText.h"
#include "engine/Sqlite.h"

#include <QStringList>

DatabaseCensus DatabaseCensus::take(Connection& connection, const QString& schema)
{
    sqlite3* db = connection.handle();
    const QString path = connection.databasePath();
    const QString qualifier = SqlText::quoteIdentifier(schema);

    QStringList tables;
    {
        // Virtual tables have no rows of their own to lose; SQLite's internal tables are rebuilt by
        // whatever writes the file.
        Sqlite::Statement list(db,
                               QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'table' "
                                              "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                                              "AND sql NOT LIKE 'CREATE VIRTUAL%'")
                                   .arg(qualifier),
                               path);
        while (list.step())
            tables.append(list.column(0).toString());
    }
    DatabaseCensus census;
    for (const QString& table : std::as_const(tables)) {
        Sqlite::Statement count(
            db, QStringLiteral("SELECT count(*) FROM %1.%2").arg(qualifier, SqlText::quoteIdentifier(table)),
            path);
        census.rowsByTable.insert(table, count.step() ? count.column(0).toLongLong() : 0);
    }
    return census;
}

QString DatabaseCensus::difference(const DatabaseCensus& original, const DatabaseCensus& copy)
{
    for (auto it = original.rowsByTable.cbegin(); it != original.rowsByTable.cend(); ++it) {
        if (!copy.rowsByTable.contains(it.key()))
            return QStringLiteral("the table '%1' is missing").arg(it.key());
        if (copy.rowsByTable.value(it.key()) != it.value())
            return QStringLiteral("the table '%1' holds %2 rows instead of %3")
                .arg(it.key())
                .arg(copy.rowsByTable.value(it.key()))
                .arg(it.value());
    }
    for (auto it = copy.rowsByTable.cbegin(); it != copy.rowsByTable.cend(); ++it) {
        if (!original.rowsByTable.contains(it.key()))
            return QStringLiteral("it has a table '%1' the original lacks").arg(it.key());
    }
    return {};
}

namespace DatabaseCheck {

QString quickCheckProblems(Connection& connection)
{
    Sqlite::Statement check(connection.handle(), QStringLiteral("PRAGMA main.quick_check(10)"),
                            connection.databasePath());
    QStringList findings;
    while (check.step())
        findings.append(check.column(0).toString());
    if (findings == QStringList{QStringLiteral("ok")})
        return {};
    return findings.isEmpty() ? QStringLiteral("the check gave no answer")
                              : findings.join(QStringLiteral("; "));
}

} // namespace DatabaseCheck

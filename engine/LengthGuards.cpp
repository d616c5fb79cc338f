#include "engine/LengthGuards.h"

#include "engine/SqlDialect.h"
#include "engine/SqlText.h"
#include "engine/Sqlite.h"

#include <QList>

namespace {

using SqlText::quoteIdentifier;

struct Limited
{
    QString column;
    int limit;
};

int schemaVersion(sqlite3* db, const QString& path)
{
    Sqlite::Statement statement(db, QStringLiteral("PRAGMA main.schema_version"), path);
    return statement.step() ? statement.column(0).toInt() : 0;
}

QStringList tablesOf(sqlite3* db, const QString& path)
{
    QStringList tables;
    Sqlite::Statement list(db,
                           QStringLiteral("SELECT name FROM main.sqlite_master WHERE type = 'table' "
                                          "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                                          "AND sql NOT LIKE 'CREATE VIRTUAL%'"),
                           path);
    while (list.step())
        tables.append(list.column(0).toString());
    return tables;
}

QList<Limited> limitedColumns(sqlite3* db, const QString& path, const QString& table)
{
    QList<Limited> limited;
    Sqlite::Statement info(db, QStringLiteral("PRAGMA main.table_info(%1)").arg(quoteIdentifier(table)),
                           path);
    while (info.step()) {
        const int limit = SqlDialect::textLimitOf(info.column(2).toString());
        if (limit > 0)
            limited.append({info.column(1).toString(), limit});
    }
    return limited;
}

// The two triggers of one table, as "WHEN <any too long> BEGIN SELECT CASE <which one> END; END".
struct TriggerText
{
    QStringList insertTests;
    QStringList updateTests;
    QStringList insertCases;
    QStringList updateCases;
    QStringList columns;

    TriggerText(const QString& table, const QList<Limited>& limited)
    {
        for (const Limited& l : limited) {
            const QString column = quoteIdentifier(l.column);
            QString marker = Sqlite::textTooLongMarker(table, l.column, l.limit);
            marker.replace(QLatin1Char('\''), QStringLiteral("''"));
            const QString tooLong = QStringLiteral("length(NEW.%1) > %2").arg(column).arg(l.limit);
            // An update that leaves a value as it was passes, so that a row holding an over-long text
            // written before the limit existed can still have its other columns changed.
            const QString changedTooLong =
                QStringLiteral("(NEW.%1 IS NOT OLD.%1 AND %2)").arg(column, tooLong);
            insertTests.append(tooLong);
            updateTests.append(changedTooLong);
            insertCases.append(QStringLiteral("WHEN %1 THEN RAISE(ABORT, '%2')").arg(tooLong, marker));
            updateCases.append(QStringLiteral("WHEN %1 THEN RAISE(ABORT, '%2')").arg(changedTooLong, marker));
            columns.append(column);
        }
    }
};

} // namespace

void LengthGuards::rebuild(sqlite3* db, const QString& path)
{
    drop(db, path);
    const int version = schemaVersion(db, path);
    int number = 0;
    for (const QString& table : tablesOf(db, path)) {
        const QList<Limited> limited = limitedColumns(db, path, table);
        if (limited.isEmpty())
            continue;
        const TriggerText text(table, limited);
        ++number;
        const QString insertName = QStringLiteral("companydesk_length_guard_%1_insert").arg(number);
        const QString updateName = QStringLiteral("companydesk_length_guard_%1_update").arg(number);
        Sqlite::exec(
            db,
            QStringLiteral("CREATE TEMP TRIGGER %1 BEFORE INSERT ON main.%2 WHEN %3 BEGIN SELECT CASE "
                           "%4 END; END")
                .arg(quoteIdentifier(insertName), quoteIdentifier(table),
                     text.insertTests.join(QStringLiteral(" OR ")), text.insertCases.join(QLatin1Char(' '))),
            path);
        m_triggers.append(insertName);
        Sqlite::exec(
            db,
            QStringLiteral("CREATE TEMP TRIGGER %1 BEFORE UPDATE OF %2 ON main.%3 WHEN %4 BEGIN SELECT "
                           "CASE %5 END; END")
                .arg(quoteIdentifier(updateName), text.columns.join(QStringLiteral(", ")),
                     quoteIdentifier(table), text.updateTests.join(QStringLiteral(" OR ")),
                     text.updateCases.join(QLatin1Char(' '))),
            path);
        m_triggers.append(updateName);
    }
    m_schemaVersion = version;
}

void LengthGuards::drop(sqlite3* db, const QString& path)
{
    for (const QString& name : std::as_const(m_triggers))
        Sqlite::exec(db, QStringLiteral("DROP TRIGGER IF EXISTS temp.%1").arg(quoteIdentifier(name)), path);
    forget();
}

bool LengthGuards::followSchema(sqlite3* db, const QString& path) const
{
    return schemaVersion(db, path) == m_schemaVersion;
}

void LengthGuards::forget()
{
    m_triggers.clear();
    m_schemaVersion = -1;
}

#include "engine/ColumnTypeChange.h"

#include "base/AppError.h"
#include "engine/LengthGuards.h"
#include "engine/SqlDialect.h"
#include "engine/SqlText.h"
#include "engine/Sqlite.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

using SqlText::quoteIdentifier;

struct TableDefinition
{
    QString name; // as the database spells it
    QString createSql;
};

TableDefinition findTable(sqlite3* db, const QString& path, const QString& table)
{
    Sqlite::Statement find(db,
                           QStringLiteral("SELECT name, sql FROM main.sqlite_master WHERE type = 'table' AND "
                                          "name = ?1 COLLATE NOCASE"),
                           path);
    find.bind(1, table);
    if (!find.step())
        throw AppError(ErrorNumber::NoSuchTable,
                       QStringLiteral("The database '%1' has no table '%2'.").arg(path, table));
    return {find.column(0).toString(), find.column(1).toString()};
}

// The CREATE TABLE text with the column's declared type replaced.
QString withNewType(const TableDefinition& table, const QString& path, const SqlDialect::AlterColumn& alter)
{
    const QString& createSql = table.createSql;
    SqlText::Span inside;
    if (!SqlText::columnList(createSql, inside))
        throw AppError(ErrorNumber::Unspecified,
                       QStringLiteral("The table '%1' of the database '%2' cannot be changed: its definition "
                                      "could not be read.")
                           .arg(table.name, path));
    for (const SqlText::Span& part : SqlText::splitTopLevel(createSql, inside.first, inside.second)) {
        const QString definition = createSql.mid(part.first, part.second - part.first);
        SqlText::ColumnParts parts;
        if (!SqlText::columnParts(definition, parts))
            continue;
        const QString name = SqlText::unquoteIdentifier(
            definition.mid(parts.name.first, parts.name.second - parts.name.first));
        if (name.compare(alter.column, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype typeBegin = part.first + parts.type.first;
        const qsizetype typeEnd = part.first + parts.type.second;
        const QString replacement = typeBegin == typeEnd ? QLatin1Char(' ') + alter.newType : alter.newType;
        return createSql.left(typeBegin) + replacement + createSql.mid(typeEnd);
    }
    throw AppError(ErrorNumber::NoSuchColumn,
                   QStringLiteral("The table '%1' of the database '%2' has no column '%3'.")
                       .arg(table.name, path, alter.column));
}

QStringList column(sqlite3* db, const QString& path, const QString& sql, const QString& bound, int index)
{
    Sqlite::Statement statement(db, sql, path);
    if (!bound.isNull())
        statement.bind(1, bound);
    QStringList values;
    while (statement.step())
        values.append(statement.column(index).toString());
    return values;
}

// The indexes' and triggers' own texts, indexes first.
QStringList relatedSql(sqlite3* db, const QString& path, const QString& table)
{
    return column(db, path,
                  QStringLiteral("SELECT sql FROM main.sqlite_master WHERE tbl_name = ?1 COLLATE NOCASE "
                                 "AND type IN ('index', 'trigger') AND sql IS NOT NULL "
                                 "ORDER BY type = 'trigger', rowid"),
                  table, 0);
}

QString columnList(sqlite3* db, const QString& path, const QString& table)
{
    QStringList columns;
    for (const QString& name :
         column(db, path, QStringLiteral("PRAGMA main.table_info(%1)").arg(quoteIdentifier(table)), QString(),
                1))
        columns.append(quoteIdentifier(name));
    return columns.join(QStringLiteral(", "));
}

// A free name for the old table while the new one is made.
QString asideName(sqlite3* db, const QString& path, const QString& table)
{
    QString aside = table + QStringLiteral("_companydesk_old");
    for (int n = 2;; ++n) {
        Sqlite::Statement exists(
            db, QStringLiteral("SELECT 1 FROM main.sqlite_master WHERE name = ?1 COLLATE NOCASE"), path);
        exists.bind(1, aside);
        if (!exists.step())
            return aside;
        aside = table + QStringLiteral("_companydesk_old%1").arg(n);
    }
}

bool hasRowid(const QString& createSql)
{
    static const QRegularExpression withoutRowid(QStringLiteral(R"(\)\s*WITHOUT\s+ROWID\s*;?\s*$)"),
                                                 QRegularExpression::CaseInsensitiveOption);
    return !withoutRowid.match(createSql).hasMatch();
}

} // namespace

void changeColumnType(sqlite3* db, const QString& path, const SqlDialect::AlterColumn& alter,
                      LengthGuards& guards)
{
    const TableDefinition table = findTable(db, path, alter.table);
    const QString newSql = withNewType(table, path, alter);
    if (newSql == table.createSql)
        return;
    const QStringList related = relatedSql(db, path, table.name);
    const QString columns = columnList(db, path, table.name);
    const QString aside = asideName(db, path, table.name);
    const QString copyRows =
        hasRowid(table.createSql)
            ? QStringLiteral("INSERT INTO main.%1 (rowid, %3) SELECT rowid, %3 FROM main.%2")
            : QStringLiteral("INSERT INTO main.%1 (%3) SELECT %3 FROM main.%2");
    const auto exec = [&](const QString& sql) {
        Sqlite::exec(db, sql, path);
    };

    const bool ownTransaction = sqlite3_get_autocommit(db) != 0;
    exec(ownTransaction ? QStringLiteral("BEGIN IMMEDIATE")
                        : QStringLiteral("SAVEPOINT companydesk_alter_column"));
    try {
        guards.drop(db, path);
        exec(QStringLiteral("ALTER TABLE main.%1 RENAME TO %2")
                 .arg(quoteIdentifier(table.name), quoteIdentifier(aside)));
        exec(newSql);
        exec(copyRows.arg(quoteIdentifier(table.name), quoteIdentifier(aside), columns));
        exec(QStringLiteral("DROP TABLE main.%1").arg(quoteIdentifier(aside)));
        for (const QString& sql : related)
            exec(sql);
        exec(ownTransaction ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE companydesk_alter_column"));
    } catch (...) {
        sqlite3_exec(db,
                     ownTransaction
                         ? "ROLLBACK"
                         : "ROLLBACK TO companydesk_alter_column; RELEASE companydesk_alter_column",
                     nullptr, nullptr, nullptr);
        throw;
    }
}

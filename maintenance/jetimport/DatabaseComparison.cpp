#include "maintenance/jetimport/DatabaseComparison.h"

#include "base/AppError.h"
#include "engine/SqlText.h"
#include "engine/Sqlite.h"
#include "maintenance/jetimport/JetDatabase.h"
#include "maintenance/jetimport/RowPrefetch.h"
#include "maintenance/jetimport/StoredValues.h"
#include "maintenance/jetimport/TableDdl.h"

namespace JetImport {

namespace {

constexpr qint64 ProgressEvery = 1000;

AppError difference(const QString& what)
{
    return AppError(ErrorNumber::Unspecified,
                    QStringLiteral("the check of the new database found a difference: %1").arg(what));
}

QString shown(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("Null");
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("%1 bytes").arg(value.toByteArray().size());
    return QStringLiteral("'%1'").arg(value.toString().left(60));
}

void compareColumns(sqlite3* db, const QString& path, const JetTable& table)
{
    Sqlite::Statement info(
        db, QStringLiteral("PRAGMA table_info(%1)").arg(SqlText::quoteIdentifier(table.name)), path);
    QStringList names;
    while (info.step())
        names.append(info.column(1).toString());
    QStringList expected;
    for (const JetColumn& column : table.columns)
        expected.append(column.name);
    if (names.isEmpty())
        throw difference(QStringLiteral("table '%1' is missing").arg(table.name));
    if (names != expected)
        throw difference(
            QStringLiteral("the columns of table '%1' are %2 where %3 were read")
                .arg(table.name, names.join(QStringLiteral(", ")), expected.join(QStringLiteral(", "))));
}

void compareTable(sqlite3* db, const QString& path, JetTableReader& reader, const ImportOptions& options,
                  const QString& source)
{
    const JetTable& table = reader.table();
    compareColumns(db, path, table);
    const int rowKey = tableDdl(table).rowKeyColumn;
    QStringList columns;
    for (const JetColumn& column : table.columns)
        columns.append(SqlText::quoteIdentifier(column.name));
    const QString tableName = SqlText::quoteIdentifier(table.name);
    // Rows numbered in read order are read back in that order, one step each; rows keyed by a column
    // are looked up by their key.
    const bool inReadOrder = rowKey < 0;
    columns.prepend(QStringLiteral("rowid"));
    Sqlite::Statement select(
        db,
        QStringLiteral("SELECT %1 FROM %2 %3")
            .arg(columns.join(QStringLiteral(", ")), tableName,
                 inReadOrder ? QStringLiteral("ORDER BY rowid") : QStringLiteral("WHERE rowid = ?")),
        path);
    QVector<QVariant> values;
    qint64 rows = 0;
    RowPrefetch ahead(reader);
    while (ahead.next(values)) {
        ++rows;
        const QVariant key = inReadOrder ? QVariant(rows) : values[rowKey];
        if (!key.isValid())
            throw difference(QStringLiteral("row %1 of table '%2' has no key").arg(rows).arg(table.name));
        if (!inReadOrder)
            select.bind(1, key);
        if (!select.step() || select.column(0).toLongLong() != key.toLongLong())
            throw difference(QStringLiteral("row %1 of table '%2' is missing").arg(rows).arg(table.name));
        for (int c = 0; c < table.columns.size(); ++c) {
            const QVariant stored = select.column(c + 1);
            if (!sameValue(table.columns[c], values[c], stored))
                throw difference(
                    QStringLiteral("row %1 of table '%2', column '%3' holds %4 where %5 was read")
                        .arg(rows)
                        .arg(table.name, table.columns[c].name, shown(stored), shown(values[c])));
        }
        if (!inReadOrder)
            select.reset();
        if (options.progress && rows % ProgressEvery == 0)
            options.progress({source, QStringLiteral("checking"), table.name, rows, table.rowCount});
    }
    Sqlite::Statement count(db, QStringLiteral("SELECT count(*) FROM %1").arg(tableName), path);
    count.step();
    const qlonglong stored = count.column(0).toLongLong();
    if (stored != rows)
        throw difference(QStringLiteral("table '%1' holds %2 rows where %3 were read")
                             .arg(table.name)
                             .arg(stored)
                             .arg(rows));
}

} // namespace

void compareWithSource(const QString& source, sqlite3* db, const QString& written,
                       const ImportOptions& options)
{
    // Pages not in use by a statement; with no transaction running, that is every page the writing left.
    sqlite3_db_release_memory(db);
    // One read transaction for the whole check: a lookup outside one would lock and unlock the file and
    // look for a journal, row by row.
    Sqlite::exec(db, QStringLiteral("BEGIN"), written);
    JetDatabase jet(source, options.codePage);
    const QStringList names = jet.tableNames();
    for (const QString& name : names) {
        const auto reader = jet.openTable(name);
        compareTable(db, written, *reader, options, source);
    }
    {
        Sqlite::Statement tables(db,
                                 QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                                "name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"),
                                 written);
        tables.step();
        if (tables.column(0).toLongLong() != names.size())
            throw difference(QStringLiteral("the new database holds %1 tables where %2 were read")
                                 .arg(tables.column(0).toLongLong())
                                 .arg(names.size()));
    }
    Sqlite::exec(db, QStringLiteral("COMMIT"), written);
}

} // namespace JetImport

#include "maintenance/jetimport/TableDdl.h"

#include "engine/SqlDialect.h"
#include "engine/SqlText.h"

namespace JetImport {

namespace {

using SqlText::quoteIdentifier;

const JetIndex* primaryKeyOf(const JetTable& table)
{
    for (const JetIndex& index : table.indexes) {
        if (index.primary)
            return &index;
    }
    return nullptr;
}

QString keyList(const JetTable& table, const JetIndex& index, bool withOrder)
{
    QStringList keys;
    for (const JetIndexKey& key : index.keys)
        keys.append(quoteIdentifier(table.columns[key.column].name) +
                    (withOrder && key.descending ? QStringLiteral(" DESC") : QString()));
    return keys.join(QStringLiteral(", "));
}

} // namespace

TableDdl tableDdl(const JetTable& table)
{
    TableDdl ddl;
    const QString tableName = quoteIdentifier(table.name);
    const JetIndex* primary = primaryKeyOf(table);
    if (primary && primary->keys.size() == 1) {
        const ColumnKind kind = table.columns[primary->keys.front().column].kind;
        if (kind == ColumnKind::Counter || kind == ColumnKind::Long)
            ddl.rowKeyColumn = primary->keys.front().column;
    }

    QStringList definitions;
    for (int c = 0; c < table.columns.size(); ++c) {
        const JetColumn& column = table.columns[c];
        QString definition = quoteIdentifier(column.name) + QLatin1Char(' ') + jetTypeName(column);
        // A Counter that is the whole key becomes the row key that numbers on after the highest number
        // ever given, as Jet's Counter does.
        if (c == ddl.rowKeyColumn && column.kind == ColumnKind::Counter)
            definition += QStringLiteral(" PRIMARY KEY AUTOINCREMENT");
        definitions.append(definition);
    }
    if (primary && !(ddl.rowKeyColumn >= 0 && table.columns[ddl.rowKeyColumn].kind == ColumnKind::Counter))
        definitions.append(QStringLiteral("PRIMARY KEY (%1)").arg(keyList(table, *primary, false)));
    ddl.createTable = SqlDialect::translate(
        QStringLiteral("CREATE TABLE %1 (%2)").arg(tableName, definitions.join(QStringLiteral(", "))));

    for (const JetIndex& index : table.indexes) {
        if (index.primary)
            continue;
        ddl.afterRows.append(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                                 .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(),
                                      quoteIdentifier(table.name + QLatin1Char('.') + index.name), tableName,
                                      keyList(table, index, true)));
    }
    for (int c = 0; c < table.columns.size(); ++c) {
        if (table.columns[c].kind != ColumnKind::Counter || c == ddl.rowKeyColumn)
            continue;
        // Any other Counter is numbered by a trigger: a row added without a number gets the highest
        // one plus one.
        const QString column = quoteIdentifier(table.columns[c].name);
        ddl.afterRows.append(
            QStringLiteral(
                "CREATE TRIGGER %1 AFTER INSERT ON %2 WHEN NEW.%3 IS NULL BEGIN "
                "UPDATE %2 SET %3 = (SELECT coalesce(max(%3), 0) + 1 FROM %2) WHERE rowid = NEW.rowid; "
                "END")
                .arg(quoteIdentifier(table.name + QStringLiteral(".counter.") + table.columns[c].name),
                     tableName, column));
    }
    return ddl;
}

} // namespace JetImport

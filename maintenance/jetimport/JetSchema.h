#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What a Jet table holds, as the import sees it: plain descriptions, free of the reading library's types.
namespace JetImport {

// The Jet column types, by the names the Jet DDL gives them.
enum class ColumnKind
{
    YesNo,
    Byte,
    Integer, // 16 bits
    Long,    // 32 bits
    Counter, // a Long that numbers new rows itself
    Currency,
    Single,
    Double,
    DateTime,
    Binary,
    Text,
    OleObject,
    Memo,
    ReplicationId,
    Decimal,
    Unsupported // attachments and multi-valued columns of the newer format
};

struct JetColumn
{
    QString name;
    ColumnKind kind = ColumnKind::Unsupported;
    int size = 0; // Text: characters; Binary: bytes
    int precision = 0;
    int scale = 0;
};

struct JetIndexKey
{
    int column = 0; // position in JetTable::columns
    bool descending = false;
};

struct JetIndex
{
    QString name;
    QVector<JetIndexKey> keys;
    bool primary = false;
    bool unique = false;
};

struct JetTable
{
    QString name;
    QVector<JetColumn> columns;
    QVector<JetIndex> indexes;
    qint64 rowCount = 0;      // as the table's header says; the rows read are what count
    QStringList notConverted; // what of this table the import cannot carry over, one line each
};

// The Jet DDL name of a column's type: "Text(50)", "Decimal(18,4)", "Counter" ...
QString jetTypeName(const JetColumn& column);

} // namespace JetImport

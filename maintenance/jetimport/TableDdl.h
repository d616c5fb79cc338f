#pragma once

#include "maintenance/jetimport/JetSchema.h"

#include <QString>
#include <QStringList>

// The statements that make a Jet table in the engine's database: the table written in the Jet dialect
// and translated as the engine translates every table it is given, then what comes after the rows
// (indexes, and the numbering of Counter columns that are not the table's row key).
namespace JetImport {

struct TableDdl
{
    QString createTable; // in the engine's own dialect
    QStringList afterRows;
    // The column whose values are the row key (a Counter or Long that alone is the primary key), -1 when
    // none is: the rows are then numbered in the order they were read.
    int rowKeyColumn = -1;
};

TableDdl tableDdl(const JetTable& table);

} // namespace JetImport

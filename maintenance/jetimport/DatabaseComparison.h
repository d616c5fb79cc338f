#pragma once

#include "maintenance/jetimport/ImportReport.h"

#include <QString>

// The check after an import: the Jet file read once more, and the written database read back through
// the engine, table by table and value by value.
namespace JetImport {

// Raises AppError (Unspecified) describing the first difference: a table or column missing or out of
// order, a row count, or a value (naming table, row and column).
void compareWithSource(const QString& source, const QString& written, const ImportOptions& options);

} // namespace JetImport

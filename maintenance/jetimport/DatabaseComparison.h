#pragma once

#include "maintenance/jetimport/ImportReport.h"

#include <QString>

struct sqlite3;

// The check after an import: the Jet file read once more, and the written database read back from the
// file, table by table and value by value.
namespace JetImport {

// written: the open connection to the new database at writtenPath, with no transaction running. The
// pages it holds in memory are let go first, so that every value compared is read from the file and
// decrypted anew. Raises AppError (Unspecified) describing the first difference: a table or column
// missing or out of order, a row count, or a value (naming table, row and column).
void compareWithSource(const QString& source, sqlite3* written, const QString& writtenPath,
                       const ImportOptions& options);

} // namespace JetImport

#pragma once

#include "maintenance/jetimport/ImportReport.h"

#include <QString>

// The conversion of one Jet database into a new database of the engine, protected with the options'
// password.
namespace JetImport {

// Writes every user table of the Jet file at source (columns in order with their Jet types, every row,
// the primary key, unique and other indexes, Counter numbering) into a new file beside target, then
// reads both sides again and compares every table's rows value by value; only a file that matches is
// synced and renamed to target. The source is only read. An existing target is refused and left as it
// is. Any failure raises AppError (Unspecified) naming the source and the cause, and leaves no file
// behind.
DatabaseReport importDatabase(const QString& source, const QString& target, const ImportOptions& options);

} // namespace JetImport

#pragma once

#include <QString>

// SQLite's full integrity check of a database file, outside any connection of the program: what a backup
// is checked with before it is called good.
namespace IntegrityCheck {

// Opens the file read-only (never creating it), with the password when the file is protected (a file
// with the unprotected header is opened without one), and runs PRAGMA integrity_check. Returns the empty
// text when it passes; otherwise one sentence that names the file and the first findings (a wrong
// password, a file that is not a database, a damaged page). Never throws.
QString problemsOf(const QString& path, const QString& password);

} // namespace IntegrityCheck

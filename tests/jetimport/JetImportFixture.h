#pragma once

#include "maintenance/jetimport/ImportReport.h"
#include "tests/support/QtPrinters.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fixture folder holding copies of the sample Jet files, and the readers the import tests check the
// result with: the engine, and the sqlcipher shell as an independent reader.
namespace JetImportFixture {

inline const QString Password = QStringLiteral("Marigold4817");

// Copies a sample file (nwind.mdb, DateTestDatabase.mdb, ASampleDatabase.accdb) into the folder.
QString copySample(const QString& folder, const QString& name, const QString& as = QString());
JetImport::ImportOptions options(int codePage = 0);
// Runs the sqlcipher shell with the common password on the database; its output lines.
QStringList shellLines(const QString& database, const QString& sql);
// The names in a folder, hidden ones too.
QStringList entries(const QString& folder);

} // namespace JetImportFixture

#pragma once

#include <QString>

// A Jet 4 file with one table of many rows, for the import's tests and benchmark. Nothing on this
// machine writes Jet files (the reading library cannot add pages), so the file is grown from the sample
// DateTestDatabase.mdb: its table DateTest keeps its six rows and gets copies of them, numbered on in
// IDCol, on data pages added at the end of the file; the table's page map and row count are rewritten to
// match. Only the sample's own row bytes are used, so every value is one the reading library knows.
namespace ManyRowJetFile {

// The sample's table and the column that numbers its rows.
inline const QString Table = QStringLiteral("DateTest");
inline const QString NumberColumn = QStringLiteral("IDCol");

// Writes the grown copy of the sample at samplePath to targetPath with rows rows in DateTest (at least
// the sample's six): row n has IDCol n and the values of the sample's row ((n - 1) mod 6) + 1. Returns
// an empty text, or what went wrong (a sample that is not the expected file, a write that failed).
QString write(const QString& samplePath, const QString& targetPath, qint64 rows);

} // namespace ManyRowJetFile

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Small helpers shared by the test programs.
namespace Fixtures {
QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);
// The text in UTF-16LE, as data-link files hold it, normally after the byte-order mark FF FE.
QByteArray utf16le(const QString& text, bool withMark = true);
// The data-link file bytes for a connection string: FF FE and three CRLF lines in UTF-16LE.
QByteArray dataLinkBytes(const QString& connectionString);
// Runs the sqlcipher shell on a file with the key and returns its output and errors (one SQL text).
QString sqlcipherShell(const QString& databasePath, const QString& sql, const QString& key);
} // namespace Fixtures

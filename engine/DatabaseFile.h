#pragma once

#include <QByteArray>
#include <QString>

// Whole-file operations on database files, outside any open connection.
namespace DatabaseFile {

// Creates a new, empty database protected with the password (an unprotected one when the password is
// empty). Refuses (AppError Unspecified) when the path exists already. Used only by tools that lay out
// data folders; opening a connection never creates a file.
void create(const QString& path, const QString& password);

// How many first bytes of a file tell whether it is an unprotected database.
inline constexpr int HeaderSize = 16;
// Whether a file's first bytes are those of an unprotected database ("SQLite format 3").
bool hasUnprotectedHeader(const QByteArray& firstBytes);
// Whether the first bytes of the file say it is an unprotected database.
bool isUnprotected(const QString& path);

// How many first bytes tell a Jet database of the Windows version ("Standard Jet DB", or "Standard ACE
// DB" of the newer format), which this engine does not open: `vaultkeep import` converts it.
inline constexpr int JetHeaderSize = 20;
bool hasJetHeader(const QByteArray& firstBytes);

} // namespace DatabaseFile

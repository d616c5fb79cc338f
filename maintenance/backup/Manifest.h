#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A backup's list of files and their SHA-256 checksums in the format of `sha256sum`, kept beside the backup
// folder as "<folder>.sha256" (never inside it, so that a restore brings nothing extra). Its paths begin with
// the folder's own name, so that `sha256sum -c` run in the folder's parent checks the backup again.
namespace Manifest {

struct Entry
{
    QString path;      // relative to the backup folder's parent: "DB-20240131235958/MCLarkspur.mdb"
    QByteArray digest; // 64 lower-case hex digits
};

// "<folder>.sha256", however the folder's path ends.
QString pathFor(const QString& backupFolder);

// The manifest's text: one "<digest>  <path>" line per entry, with sha256sum's escape for a name holding
// a backslash or a line break.
QByteArray format(const QList<Entry>& entries);
// The entries of a manifest's text; throws AppError naming the manifest on a line it cannot read.
QList<Entry> parse(const QByteArray& text, const QString& manifestPath);

// Writes the text to a new file beside path, syncs it, renames it to path in one step and syncs the folder.
// Throws AppError naming the file and the cause; the new file is gone then, also when it had been
// renamed but its folder could not be synced.
void write(const QString& path, const QList<Entry>& entries);
// Reads and parses the manifest; throws AppError naming it when it is missing or unreadable.
QList<Entry> read(const QString& path);

} // namespace Manifest

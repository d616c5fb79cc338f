#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// Small helpers for the file operation tests: files with known contents, a folder's tree as text, and a
// child process for cases that change process-wide limits.
namespace FileOpTest {

void writeFile(const QString& path, const QByteArray& data);
QByteArray readFile(const QString& path);
// size bytes that differ from one offset to the next, so a misplaced chunk shows.
QByteArray patternData(qint64 size, char seed);
// Every entry below root, hidden ones too, relative and sorted; folders end with "/".
QStringList tree(const QString& root);
// Sets a file's or folder's modification and access time.
void setTimes(const QString& path, qint64 secondsSinceEpoch);
// mode (permission bits) and modification time in seconds.
struct Attributes
{
    unsigned mode = 0;
    qint64 mtime = 0;
    bool operator==(const Attributes&) const = default;
};
Attributes attributesOf(const QString& path);

} // namespace FileOpTest

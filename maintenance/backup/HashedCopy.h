#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Copies one open file to a new file, taking its SHA-256 from the bytes as they pass (no second read),
// and makes the copy durable (fsync) before it returns.
namespace HashedCopy {

// Called after each chunk with the bytes written so far by this copy.
using Progress = std::function<void(qint64 bytes)>;

// Reads sourceFd from its start to its end and writes everything to target, which must not exist yet
// (created owner-only; the caller sets the final mode). Returns the SHA-256 as 64 lower-case hex digits.
// Throws AppError naming the file and the cause (the disk full, a read error); a target it created is
// removed again.
QByteArray copy(int sourceFd, const QString& sourcePath, const QString& target, const Progress& progress);

// The SHA-256 of a whole file, read in chunks; throws AppError naming the file when it cannot be read.
QByteArray digestOf(const QString& path);

// The one sentence for a write that failed with error: a full disk or size limit says so.
QString writeFailure(const QString& target, int error);

} // namespace HashedCopy

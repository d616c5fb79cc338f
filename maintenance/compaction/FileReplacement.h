#pragma once

#include <QString>

// Puts a finished file in the place of another so that, whenever the program stops, the original's path
// holds either the whole old file or the whole new one. The caller holds the original's exclusive lock.
namespace FileReplacement {

// Where a replacement from another filesystem is copied first: beside the original, so that the last
// step is a rename within one folder. A file of this name is only ever a leftover of a cut-short
// replacement and may be deleted while the original's lock is held.
QString stagingPath(const QString& original);

// Gives the replacement the original's mode (and, for root, its owner), makes it durable on the
// original's filesystem (renamed there directly, or copied to stagingPath first), removes the original's
// stale journal, write-ahead log and its index, renames it over the original and syncs the folder. The
// replacement's own path is gone afterwards.
//
// Throws AppError while the original is still untouched. Once the new file is in place, a folder that
// could not be synced is no reason to report failure: the text it returns then says so (empty otherwise).
QString replace(const QString& replacement, const QString& original);

} // namespace FileReplacement

#pragma once

#include <QString>

#include <sys/stat.h>

// A byte-for-byte copy of one file into a new file, with the source's permission bits and modification
// time. Raises AppError (Unspecified) naming the file and the cause (a full disk, a denied read); a copy
// that failed is removed.
void copyFileExactly(const QString& source, const QString& target, mode_t mode, const timespec& modified);

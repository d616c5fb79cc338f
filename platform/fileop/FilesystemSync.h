#pragma once

#include "base/UniqueFd.h"

#include <QString>
#include <map>
#include <sys/types.h>

// The copy's data reaches the disk before the operation reports success: one syncfs per filesystem
// written to, which costs far less than an fsync per file when a whole folder of databases is copied.
class FilesystemSync
{
public:
    // Remembers the filesystem that holds folder.
    void add(const QString& folder);
    // 0, or the errno of the first filesystem that could not be synced.
    int syncAll();

private:
    std::map<dev_t, UniqueFd> m_folders; // one open folder per filesystem
};

#pragma once

#include "base/UniqueFd.h"

namespace FileUse {
class OpenFiles;
}

#include <QString>

// The "in use" rule for database files, in one place: every open connection holds a shared flock on its
// file, and whatever replaces or rewrites a file as a whole first takes an exclusive one. A lock is taken
// without waiting, so a file another program holds is reported in use rather than waited for. An
// exclusive lock on a regular file is also refused while another SQLite program locks or any other
// process holds the file open (FileUse).
class FileLock
{
public:
    enum class Mode
    {
        Shared,
        Exclusive
    };

    FileLock() = default;

    // Opens the file for reading, unlocked, so that the caller can examine what it opened before it locks.
    // 0, or the errno of the failure.
    int open(const QString& path);
    // Locks the opened file. 0, or the errno: EWOULDBLOCK when another holder's lock is in the way (or,
    // for an exclusive lock, when the file is in use by another program).
    int lock(Mode mode);
    // An exclusive lock with the other processes' handles taken from a snapshot (FileUse::OpenFiles), for
    // an operation over many files.
    int lockExclusive(const FileUse::OpenFiles& openElsewhere);
    // open() then lock().
    int acquire(const QString& path, Mode mode);
    int acquireExclusive(const QString& path, const FileUse::OpenFiles& openElsewhere);
    void release() { m_fd.reset(); }

    bool isOpen() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }

private:
    UniqueFd m_fd;
};

#pragma once

#include "base/UniqueFd.h"

#include <QString>

// Holds a database file still in one committed state, the way SQLite's own readers do: a read lock on the
// file's shared-lock bytes, which a writer must lock exclusively to commit, so that writers wait while it
// is held. The lock belongs to this object's own open file description (F_OFD_SETLKW), so closing some
// other descriptor of the same file in this process does not drop it, as it would a process record lock.
class DatabaseReadLock
{
public:
    // SQLite's lock bytes: the pending byte, the reserved byte after it, then the shared range.
    static constexpr off_t PendingByte = 0x40000000;
    static constexpr off_t ReservedByte = PendingByte + 1;
    static constexpr off_t SharedFirst = PendingByte + 2;
    static constexpr off_t SharedSize = 510;

    // Waits for a writer that is committing, then holds the read lock. 0, or the errno of the failure.
    int acquire(int fd);
    void release();
    // Whether another connection holds the reserved byte: a writer is inside a transaction and any
    // journal beside the file is its own, not one left behind by a cut-short write.
    bool writerActive() const;

    DatabaseReadLock() = default;
    ~DatabaseReadLock() { release(); }
    DatabaseReadLock(const DatabaseReadLock&) = delete;
    DatabaseReadLock& operator=(const DatabaseReadLock&) = delete;

private:
    int m_fd = -1;
};

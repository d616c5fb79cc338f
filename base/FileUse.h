#pragma once

#include <QList>
#include <QPair>
#include <QSet>
#include <sys/types.h>

// Whether a program that does not take the engine's flock still uses a file: another SQLite program
// holds its own record locks on fixed bytes of the database file while it reads or writes (and all the
// time it has a database in WAL mode open), and any program, idle or not, holds an open handle on it.
namespace FileUse {

// True when any process holds a record lock on SQLite's lock bytes of the open file fd (the pending,
// reserved and shared bytes, at 1 GiB). Locks of this process on other handles count too.
bool sqliteLocked(int fd);

// The processes on this machine, other than this one, that have the file open (same device and inode),
// as far as this user may see them. A handle on another machine, through a file server, is not seen.
QList<pid_t> openElsewhere(int fd);

// Either of the two: the file is in use by a program other than through the engine's own lock.
bool inUse(int fd);

// The regular files that processes on this machine other than this one hold open, as far as this user may
// see them, taken in one look at /proc: an operation over many files (a restore of thousands of company
// databases) asks it for each file instead of looking at every process's handles once per file. It holds
// one entry per open regular file on the machine, not per file of the operation.
class OpenFiles
{
public:
    static OpenFiles take();
    // Whether the open file fd (device and inode) is among them.
    bool contains(int fd) const;

private:
    QSet<QPair<quint64, quint64>> m_files;
};

// inUse, with the handles of other processes taken from a snapshot instead of a new look at /proc.
bool inUse(int fd, const OpenFiles& openElsewhere);

} // namespace FileUse

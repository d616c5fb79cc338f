#pragma once

#include "base/FileLock.h"
#include "engine/Sqlite.h"

struct ConnectionTarget;

// A database file opened for a connection: SQLite's handle with the key applied and checked, and the
// shared lock that tells whoever would replace the file as a whole that it is in use.
struct OpenedDatabase
{
    Sqlite::Database db;
    FileLock lock;
};

// Opens an existing database file; never creates one. The shared lock is taken before anything is read,
// so that a program replacing the file as a whole (it holds an exclusive lock meanwhile) is never read
// half-written. A file that is missing, a folder, empty, not whole pages or in use, a wrong or missing
// password and a damaged file are each an AppError whose description names the file and the reason.
// Running out of memory is std::bad_alloc. callerHoldsLock: the caller holds the file's exclusive lock
// (it is about to replace the file) and must still read it; no shared lock is taken then.
OpenedDatabase openDatabase(const ConnectionTarget& target, bool callerHoldsLock = false);

#pragma once

#include "engine/Connection.h"
#include "engine/DatabaseCensus.h"

#include <QString>

// Writes a compacted copy of the source database to the target: the file the target connection string
// names, which must not exist yet, protected with the target string's password (unprotected when it gives
// none). Tables, indexes, views, triggers, user_version and application_id are kept; the pages are written
// anew, so the free space of the source is left behind. The source is only read, and never whole into
// memory.
//
// Throws AppError: WrongPassword when the source is protected and the source string's password is
// missing or does not open it (an unprotected source opens whatever password is given); Unspecified for
// everything else (missing or damaged source, target exists or cannot be written, disk full). A failed
// call leaves no target file behind.
//
// Returns the census of the source, taken in the same read transaction as the copy.
//
// sourceLock is Connection::LockOwner::Caller for a caller that holds the source's exclusive lock
// itself (to replace the source with the copy afterwards).
DatabaseCensus CompactDatabase(const QString& sourceConnectionString, const QString& targetConnectionString,
                               Connection::LockOwner sourceLock = Connection::LockOwner::Connection);

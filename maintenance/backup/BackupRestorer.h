#pragma once

#include "maintenance/backup/BackupProgress.h"

#include <QString>

// Puts a backup's files back into an application folder, after checking the backup.
namespace BackupRestorer {

struct Request
{
    QString backupFolder;
    QString appFolder;      // made when missing
    bool overwrite = false; // replace files that exist; otherwise an existing file stops the restore
    QString password;       // what the backup's databases open with
};

struct Report
{
    int files = 0;
    qint64 bytes = 0;
};

// Verifies the backup (manifest and integrity check) and refuses it, before anything is written into the
// application folder, when it fails. Refuses as well, with nothing written, when a file to restore exists
// and overwrite is off, or when a database to replace is open in another program. Then copies every file
// beside its place (checking its checksum again as it goes), syncs, and renames each into place, removing
// a replaced database's stale journal first. Throws AppError with one sentence naming the file and cause.
Report restore(const Request& request, IBackupProgress& progress);

} // namespace BackupRestorer

#pragma once

#include "maintenance/backup/BackupProgress.h"

#include <QString>
#include <QStringList>

// Makes one verified backup of an application folder: its master database and its company folder.
namespace BackupMaker {

struct Request
{
    QString appFolder;
    QString folder;         // the backup folder to make, "…/Backup/DB-20240131235958"
    bool overwrite = false; // replace a backup folder of that name (only once the new one verified)
    int keep = 0;           // when above 0: keep this many DB-<14 digits> folders beside the new one
    QString password;       // what the protected databases open with
};

struct Report
{
    QString folder;
    QString manifest;
    int files = 0;
    qint64 bytes = 0;
    QStringList pruned;  // older backup folders removed for keep
    QStringList skipped; // links, pipes, sockets and devices passed by, one sentence each naming it
    // Where the time went, in seconds: copying (checksums taken on the way) and syncing; waiting for the
    // checks still running after the last copy; naming the folder and writing the manifest.
    double copySeconds = 0;
    double checkWaitSeconds = 0;
    double finishSeconds = 0;
};

// Copies everything into a hidden folder beside the target, each database as one committed state (under
// its read lock, with a journal left behind by a cut-short write), taking each file's checksum as it is
// copied; syncs; checks every copy against its checksum and every database with SQLite's integrity check
// (on a second thread while the next file is copied); only then gives the folder its name and writes its
// manifest "<folder>.sha256" beside it; and only then removes older backups beyond keep.
//
// Throws AppError with one sentence naming the file and the cause. On failure nothing of the new backup is
// left, an existing folder of the name is untouched and nothing is pruned.
Report make(const Request& request, IBackupProgress& progress);

} // namespace BackupMaker

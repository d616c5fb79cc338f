#pragma once

#include "maintenance/backup/BackupProgress.h"
#include "maintenance/backup/Manifest.h"

#include <QString>

// Checks a backup folder again from its manifest and its databases.
namespace BackupVerifier {

struct Report
{
    QString folder;
    QList<Manifest::Entry> entries;
    int files = 0;
    qint64 bytes = 0;
};

// The manifest "<folder>.sha256" must be there and list exactly the files of the folder, each with its
// checksum; every database file must open with the password (or unprotected) and pass SQLite's integrity
// check. Throws AppError with one sentence naming the first file that fails (missing, extra, changed,
// damaged) or the missing manifest.
Report verify(const QString& folder, const QString& password, IBackupProgress& progress);

} // namespace BackupVerifier

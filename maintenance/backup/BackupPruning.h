#pragma once

#include <QString>
#include <QStringList>

// Keeping a number of backups: only folders named "DB-" and 14 digits count, and nothing else is touched.
namespace BackupPruning {

// Whether name is a backup folder's name: "DB-" and 14 digits.
bool isBackupName(const QString& name);

// Removes the oldest backup folders in parent (and each one's "<folder>.sha256") beyond the keep newest,
// by the time in their names. Links and files of such names are left alone. Returns the folders removed.
QStringList prune(const QString& parent, int keep);

} // namespace BackupPruning

#include "maintenance/backup/BackupPruning.h"

#include "maintenance/backup/FolderPaths.h"
#include "maintenance/backup/Manifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace BackupPruning {

bool isBackupName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^DB-[0-9]{14}$"));
    return pattern.match(name).hasMatch();
}

QStringList prune(const QString& parent, int keep)
{
    QStringList backups;
    const QFileInfoList entries =
        QDir(parent).entryInfoList(QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (isBackupName(entry.fileName()) && !entry.isSymLink())
            backups.append(entry.fileName());
    }
    // The names hold the time with the most significant digits first: their order is the time order.
    std::sort(backups.begin(), backups.end(), std::greater<>());
    QStringList removed;
    for (qsizetype i = keep; i < backups.size(); ++i) {
        const QString folder = parent + QLatin1Char('/') + backups[i];
        FolderPaths::removeTree(folder);
        QFile::remove(Manifest::pathFor(folder));
        removed.append(folder);
    }
    return removed;
}

} // namespace BackupPruning

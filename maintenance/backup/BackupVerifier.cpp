#include "maintenance/backup/BackupVerifier.h"

#include "base/AppError.h"
#include "engine/IntegrityCheck.h"
#include "maintenance/backup/BackupContents.h"
#include "maintenance/backup/FolderPaths.h"
#include "maintenance/backup/HashedCopy.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace BackupVerifier {

namespace {

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::PathFileAccessError, text);
}

} // namespace

Report verify(const QString& backupFolder, const QString& password, IBackupProgress& progress)
{
    const QString folder = FolderPaths::withoutTrailingSlash(backupFolder);
    if (!QFileInfo(folder).isDir())
        fail(QStringLiteral("'%1' is not a folder.").arg(folder));
    const QString manifestPath = Manifest::pathFor(folder);
    Report report{folder, Manifest::read(manifestPath), 0, 0};
    const QString prefix = QFileInfo(folder).fileName() + QLatin1Char('/');

    QHash<QString, QByteArray> listed;
    for (const Manifest::Entry& entry : report.entries) {
        if (!entry.path.startsWith(prefix) || entry.path.contains(QStringLiteral("/../")) ||
            entry.path.endsWith(QStringLiteral("/..")) || listed.contains(entry.path.mid(prefix.size())))
            fail(QStringLiteral("'%1' lists '%2', which is not a file of '%3'.")
                     .arg(manifestPath, entry.path, folder));
        listed.insert(entry.path.mid(prefix.size()), entry.digest);
    }
    const BackupContents::Listing present = BackupContents::listAll(folder);
    // A backup never holds a link, a pipe or a device: one there was put there afterwards.
    if (!present.skipped.isEmpty())
        fail(present.skipped.first() +
             QStringLiteral(" A backup holds none: it was changed after it was made."));
    QSet<QString> seen;
    for (const BackupContents::File& file : present.files) {
        if (!listed.contains(file.relative))
            fail(QStringLiteral(
                     "'%1/%2' is not in the checksum list '%3': the backup was changed after it was "
                     "made.")
                     .arg(folder, file.relative, manifestPath));
        seen.insert(file.relative);
    }
    for (auto it = listed.cbegin(); it != listed.cend(); ++it) {
        if (!seen.contains(it.key()))
            fail(QStringLiteral("'%1/%2' is missing from the backup.").arg(folder, it.key()));
    }

    progress.begin(present.totalBytes);
    for (const BackupContents::File& file : present.files) {
        const QString path = folder + QLatin1Char('/') + file.relative;
        if (HashedCopy::digestOf(path) != listed.value(file.relative))
            fail(QStringLiteral("'%1' does not match its checksum: the file is damaged.").arg(path));
        if (file.database) {
            if (const QString problem = IntegrityCheck::problemsOf(path, password); !problem.isEmpty())
                fail(problem);
        }
        report.bytes += file.size;
        ++report.files;
        progress.advance(report.bytes);
    }
    return report;
}

} // namespace BackupVerifier

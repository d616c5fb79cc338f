#include "maintenance/backup/BackupContents.h"

#include "base/AppError.h"
#include "shared/AppFolder.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace BackupContents {

namespace {

const QString JournalSuffix = QStringLiteral("-journal");

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::PathFileAccessError, text);
}

void addFile(Listing& listing, const QFileInfo& info, const QString& relative)
{
    const bool database = isDatabaseName(info.fileName());
    listing.files.append({relative, info.size(), database});
    listing.totalBytes += info.size();
}

// Everything below folder (relative to base), parents first, names sorted so that runs are repeatable.
void walk(Listing& listing, const QString& base, const QString& relative, bool skipJournals)
{
    const QDir folder(base + QLatin1Char('/') + relative);
    if (!folder.isReadable())
        fail(QStringLiteral("'%1' could not be read: permission denied.").arg(folder.path()));
    const QFileInfoList entries = folder.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString inner =
            relative.isEmpty() ? entry.fileName() : relative + QLatin1Char('/') + entry.fileName();
        if (entry.isSymLink() || !(entry.isDir() || entry.isFile()))
            fail(QStringLiteral("'%1' is not a regular file or folder (a link or a device); a backup does "
                                "not copy it.")
                     .arg(entry.filePath()));
        if (entry.isDir()) {
            listing.folders.append(inner);
            walk(listing, base, inner, skipJournals);
        } else if (!(skipJournals && entry.fileName().endsWith(JournalSuffix))) {
            addFile(listing, entry, inner);
        }
    }
}

} // namespace

bool isDatabaseName(const QString& name)
{
    return name.endsWith(QStringLiteral(".mdb"), Qt::CaseInsensitive);
}

QString journalOf(const QString& path)
{
    return path + JournalSuffix;
}

Listing list(const QString& root)
{
    const QFileInfo master(root + QLatin1Char('/') + AppFolder::MasterDatabaseName);
    if (!QFileInfo(root).isDir())
        fail(QStringLiteral("'%1' is not a folder.").arg(root));
    if (!master.isFile())
        fail(QStringLiteral("'%1' is missing: '%2' is not an application folder.")
                 .arg(master.filePath(), root));
    Listing listing;
    addFile(listing, master, AppFolder::MasterDatabaseName);
    const QFileInfo companies(root + QLatin1Char('/') + AppFolder::CompanyDataFolderName);
    if (companies.isSymLink() || (companies.exists() && !companies.isDir()))
        fail(QStringLiteral("'%1' is not a folder.").arg(companies.filePath()));
    if (companies.isDir()) {
        listing.folders.append(AppFolder::CompanyDataFolderName);
        walk(listing, root, AppFolder::CompanyDataFolderName, true);
    }
    return listing;
}

Listing listAll(const QString& folder)
{
    Listing listing;
    walk(listing, folder, QString(), false);
    return listing;
}

} // namespace BackupContents

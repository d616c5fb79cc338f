#include "maintenance/backup/BackupContents.h"

#include "base/AppError.h"
#include "shared/AppFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <unistd.h>

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

// What a link says, as it is written.
QByteArray linkText(const QString& path)
{
    QByteArray text(4096, '\0');
    const ssize_t got = ::readlink(QFile::encodeName(path).constData(), text.data(), size_t(text.size()));
    return got > 0 ? text.left(got) : QByteArray();
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
        // What a copy or a restore killed part-way left behind is not part of the books.
        if (isLeftover(entry.fileName()))
            continue;
        // Never followed: a link to "/" or to a folder above would take the copy out of the tree, or round
        // in a circle. A link, a pipe, a socket or a device holds no books; each is named and passed by.
        if (entry.isSymLink()) {
            listing.skipped.append(
                QStringLiteral("'%1' is a link (to '%2'); links are not backed up.")
                    .arg(entry.filePath(), entry.symLinkTarget().isEmpty()
                                               ? QFile::decodeName(linkText(entry.filePath()))
                                               : entry.symLinkTarget()));
            continue;
        }
        if (!(entry.isDir() || entry.isFile())) {
            listing.skipped.append(
                QStringLiteral("'%1' is not a file or a folder (a pipe, a socket or a device); it is not "
                               "backed up.")
                    .arg(entry.filePath()));
            continue;
        }
        if (entry.isDir()) {
            listing.folders.append(inner);
            walk(listing, base, inner, skipJournals);
        } else if (!(skipJournals && entry.fileName().endsWith(JournalSuffix))) {
            addFile(listing, entry, inner);
        }
    }
}

} // namespace

bool isLeftover(const QString& name)
{
    static const QRegularExpression partial(QStringLiteral("^\\..+\\.([A-Za-z0-9]{6}|restoring|replaced)$"));
    return partial.match(name).hasMatch();
}

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

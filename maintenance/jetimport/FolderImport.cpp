#include "maintenance/jetimport/FolderImport.h"

#include "base/AppError.h"
#include "base/FileLock.h"
#include "base/PathJoin.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"
#include "engine/DataLinkFile.h"
#include "maintenance/jetimport/DatabaseImport.h"
#include "maintenance/jetimport/FileCopy.h"
#include "maintenance/jetimport/FilePlacement.h"
#include "maintenance/jetimport/SourceTree.h"
#include "shared/AppFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace JetImport {

namespace {

AppError refusal(const QString& target, const QString& cause)
{
    return AppError(ErrorNumber::Unspecified,
                    QStringLiteral("'%1' %2; the import was refused.").arg(target, cause));
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The path of a folder that may not exist yet, with every link and ".." of its existing part resolved.
QString resolvedPath(const QString& path)
{
    QFileInfo info(QDir::cleanPath(QDir(path).absolutePath()));
    QStringList missing;
    while (!info.exists() && !info.isRoot()) {
        missing.prepend(info.fileName());
        info = QFileInfo(info.path());
    }
    QString result = info.canonicalFilePath();
    for (const QString& part : missing)
        result = pathInFolder(result, part);
    return result;
}

bool isWithin(const QString& path, const QString& folder)
{
    return path == folder ||
           path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

// The folder the whole tree is made in, beside the target; removed unless it was put in place.
class StagingFolder
{
public:
    explicit StagingFolder(QString path) : m_path(std::move(path)) {}
    ~StagingFolder()
    {
        if (m_made && !m_kept)
            QDir(m_path).removeRecursively();
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    void make()
    {
        if (::mkdir(QFile::encodeName(m_path).constData(), 0700) != 0)
            throw AppError(
                ErrorNumber::Unspecified,
                QStringLiteral("The folder '%1' could not be made: %2.").arg(m_path, systemErrorText(errno)));
        m_made = true;
    }
    const QString& path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_made = false;
    bool m_kept = false;
};

void makeFolder(const QString& path, mode_t mode)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 ||
        ::chmod(QFile::encodeName(path).constData(), mode) != 0)
        throw AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("The folder '%1' could not be made: %2.").arg(path, systemErrorText(errno)));
}

// The target folder: made when it does not exist, then locked against a second import and checked to be
// empty. Removed again on failure when this import made it.
class TargetFolder
{
public:
    explicit TargetFolder(QString path) : m_path(std::move(path)) {}
    ~TargetFolder()
    {
        if (m_made && !m_kept)
            ::rmdir(QFile::encodeName(m_path).constData());
    }
    TargetFolder(const TargetFolder&) = delete;
    TargetFolder& operator=(const TargetFolder&) = delete;

    void claim()
    {
        const QByteArray name = QFile::encodeName(m_path);
        struct stat status
        {};
        if (::stat(name.constData(), &status) == 0) {
            if (!S_ISDIR(status.st_mode))
                throw refusal(m_path, QStringLiteral("is a file, not a folder"));
        } else {
            if (::mkdir(name.constData(), 0777) != 0)
                throw refusal(m_path, QStringLiteral("cannot be made: %1").arg(systemErrorText(errno)));
            m_made = true;
        }
        m_fd.reset(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!m_fd)
            throw refusal(m_path, QStringLiteral("cannot be opened: %1").arg(systemErrorText(errno)));
        if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) != 0)
            throw refusal(m_path, errno == EWOULDBLOCK
                                      ? QStringLiteral("is being written by another import")
                                      : QStringLiteral("cannot be locked: %1").arg(systemErrorText(errno)));
        const QStringList names =
            QDir(m_path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& entry : names) {
            if (sameName(entry, AppFolder::MasterDatabaseName))
                throw refusal(m_path, QStringLiteral("already holds a master database (%1)").arg(entry));
        }
        if (!names.isEmpty())
            throw refusal(m_path, QStringLiteral("is not empty"));
    }
    void keep() { m_kept = true; }

private:
    QString m_path;
    UniqueFd m_fd;
    bool m_made = false;
    bool m_kept = false;
};

void syncTree(const QString& folder)
{
    const UniqueFd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd || ::syncfs(fd.get()) != 0)
        throw AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("Writing '%1' to disk failed: %2.").arg(folder, systemErrorText(errno)));
}

} // namespace

FolderReport importFolder(const QString& source, const QString& target, const ImportOptions& options)
{
    const QString sourceRoot = resolvedPath(source);
    const QString targetRoot = resolvedPath(target);
    if (isWithin(targetRoot, sourceRoot))
        throw refusal(target, QStringLiteral("lies inside the folder '%1' that is imported").arg(source));
    const QVector<SourceEntry> entries = scanSource(source);

    TargetFolder claimed(target);
    claimed.claim();
    StagingFolder staging(FilePlacement::workingNameFor(target));
    staging.make();

    FolderReport report;
    QString master;
    bool hasDataLink = false;
    for (const SourceEntry& entry : entries) {
        const QString into = pathInFolder(staging.path(), entry.relative);
        const bool atRoot = !entry.relative.contains(QLatin1Char('/'));
        switch (entry.kind) {
        case SourceEntry::Kind::Folder:
            makeFolder(into, entry.mode);
            break;
        case SourceEntry::Kind::JetDatabase: {
            DatabaseReport converted = importDatabase(entry.path, into, options);
            converted.target = pathInFolder(target, entry.relative);
            for (const QString& line : converted.notConverted)
                report.notes.append(QStringLiteral("%1: %2").arg(entry.relative, line));
            report.databases.append(converted);
            if (atRoot && sameName(entry.relative, AppFolder::MasterDatabaseName))
                master = entry.relative;
            break;
        }
        case SourceEntry::Kind::File:
            // The Windows data-link file names a Windows path; it is written anew below.
            if (atRoot && sameName(entry.relative, AppFolder::MasterDataLinkName)) {
                hasDataLink = true;
                continue;
            }
            copyFileExactly(entry.path, into, entry.mode, entry.modified);
            report.filesCopied += 1;
            if (options.progress)
                options.progress({entry.path, QStringLiteral("copying"), QString(), 0, 0});
            break;
        }
    }
    if (!master.isEmpty()) {
        const QString dataLink = pathInFolder(staging.path(), AppFolder::MasterDataLinkName);
        DataLinkFile::write(dataLink, AppFolder::JetConnectionString(pathInFolder(target, master)));
        report.masterDataLink = pathInFolder(target, AppFolder::MasterDataLinkName);
    } else {
        report.notes.append(
            QStringLiteral("no master database (%1) was found as a Jet database at the top of the "
                           "folder, so no %2 was written")
                .arg(AppFolder::MasterDatabaseName, AppFolder::MasterDataLinkName));
        if (hasDataLink)
            report.notes.append(
                QStringLiteral("%1 was not copied: it names a path of the Windows installation")
                    .arg(AppFolder::MasterDataLinkName));
    }

    struct stat rootStatus
    {};
    if (::stat(QFile::encodeName(source).constData(), &rootStatus) == 0)
        ::chmod(QFile::encodeName(staging.path()).constData(), rootStatus.st_mode & 07777);
    syncTree(staging.path());
    // rename() puts a folder in place of an empty one in one step; the target was checked empty while
    // locked, and stays locked until now.
    if (::rename(QFile::encodeName(staging.path()).constData(), QFile::encodeName(target).constData()) != 0)
        throw AppError(ErrorNumber::Unspecified,
                       QStringLiteral("Putting the imported folder in place as '%1' failed: %2.")
                           .arg(target, systemErrorText(errno)));
    staging.keep();
    claimed.keep();
    FilePlacement::syncFolder(QFileInfo(targetRoot).path());
    return report;
}

} // namespace JetImport

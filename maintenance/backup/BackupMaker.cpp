#include "maintenance/backup/BackupMaker.h"

#include "base/AppError.h"
#include "base/FileLock.h"
#include "base/SystemError.h"
#include "engine/IntegrityCheck.h"
#include "maintenance/backup/BackgroundChecks.h"
#include "maintenance/backup/BackupContents.h"
#include "maintenance/backup/BackupPruning.h"
#include "maintenance/backup/DatabaseReadLock.h"
#include "maintenance/backup/FolderPaths.h"
#include "maintenance/backup/HashedCopy.h"
#include "maintenance/backup/Manifest.h"
#include "shared/AppFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

namespace BackupMaker {

namespace {

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::PathFileAccessError, text);
}

QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

// The hidden folder the copy is made in; removed with everything in it unless kept.
class StagingFolder
{
public:
    StagingFolder(const QString& parent, const QString& name)
    {
        QByteArray pattern = local(parent + QStringLiteral("/.") + name + QStringLiteral(".XXXXXX"));
        if (::mkdtemp(pattern.data()) == nullptr)
            fail(HashedCopy::writeFailure(parent, errno));
        m_path = QFile::decodeName(pattern);
        // mkdtemp makes it owner-only; the finished backup gets the mode any new folder would.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(pattern.constData(), 0777 & ~mask);
    }
    ~StagingFolder()
    {
        if (!m_kept)
            FolderPaths::removeTree(m_path);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    const QString& path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

// Copies the listing from the application folder into the staging folder and queues the checks.
class Copier
{
public:
    Copier(const Request& request, const QString& staging, IBackupProgress& progress)
        : m_request(request), m_staging(staging), m_progress(progress)
    {}

    void copyAll(const BackupContents::Listing& listing)
    {
        for (const QString& folder : listing.folders)
            makeFolder(folder);
        for (const BackupContents::File& file : listing.files)
            file.database ? copyDatabase(file.relative) : copyPlain(file.relative);
        for (const QString& folder : listing.folders)
            syncFolder(m_staging + QLatin1Char('/') + folder);
        syncFolder(m_staging);
    }

    // Waits for the checks; throws the first problem, named by the file's final path.
    void finishChecks()
    {
        QString problem = m_checks.finish();
        if (!problem.isEmpty())
            fail(problem.replace(m_staging, FolderPaths::withoutTrailingSlash(m_request.folder)));
    }

    const QList<Manifest::Entry>& entries() const { return m_entries; }
    qint64 bytes() const { return m_done; }

private:
    QString source(const QString& relative) const
    {
        return m_request.appFolder + QLatin1Char('/') + relative;
    }
    QString target(const QString& relative) const { return m_staging + QLatin1Char('/') + relative; }

    void makeFolder(const QString& relative)
    {
        if (::mkdir(local(target(relative)).constData(), 0755) != 0)
            fail(HashedCopy::writeFailure(target(relative), errno));
    }

    void syncFolder(const QString& path)
    {
        if (const int error = FolderPaths::syncFolder(path); error != 0)
            fail(HashedCopy::writeFailure(path, error));
    }

    void copyDatabase(const QString& relative)
    {
        const QString from = source(relative);
        FileLock file;
        const int error = file.acquire(from, FileLock::Mode::Shared);
        if (error == EWOULDBLOCK)
            fail(QStringLiteral("'%1' is being replaced by another program (a compaction or a restore); try "
                                "again when it has finished.")
                     .arg(from));
        if (error != 0)
            fail(QStringLiteral("'%1' could not be read: %2.").arg(from, systemErrorText(error)));
        DatabaseReadLock committed;
        if (const int lockError = committed.acquire(file.fd()); lockError != 0)
            fail(QStringLiteral("'%1' could not be locked for reading: %2.")
                     .arg(from, systemErrorText(lockError)));
        copyFrom(file.fd(), relative);
        // Under the read lock a journal is either a live writer's (it holds the reserved byte and has not
        // touched the file) or one a cut-short write left behind, which belongs to the file's state.
        const QString journal = BackupContents::journalOf(from);
        if (QFileInfo::exists(journal) && !committed.writerActive()) {
            const UniqueFd journalFd(::open(local(journal).constData(), O_RDONLY | O_CLOEXEC));
            if (!journalFd && errno != ENOENT)
                fail(QStringLiteral("'%1' could not be read: %2.").arg(journal, systemErrorText(errno)));
            if (journalFd)
                copyFrom(journalFd.get(), BackupContents::journalOf(relative));
        }
        const QString copy = target(relative);
        const QString password = m_request.password;
        m_checks.add([copy, password] { return IntegrityCheck::problemsOf(copy, password); });
    }

    void copyPlain(const QString& relative)
    {
        const QString from = source(relative);
        const UniqueFd in(::open(local(from).constData(), O_RDONLY | O_CLOEXEC));
        if (!in)
            fail(QStringLiteral("'%1' could not be read: %2.").arg(from, systemErrorText(errno)));
        copyFrom(in.get(), relative);
    }

    void copyFrom(int fd, const QString& relative)
    {
        const QString from = source(relative);
        const QString to = target(relative);
        const qint64 before = m_done;
        const QByteArray digest = HashedCopy::copy(fd, from, to, [this, before](qint64 written) {
            m_done = before + written;
            m_progress.advance(m_done);
        });
        struct stat info
        {};
        if (::fstat(fd, &info) == 0)
            ::chmod(local(to).constData(), info.st_mode & 07777);
        const QString name = QFileInfo(FolderPaths::withoutTrailingSlash(m_request.folder)).fileName();
        m_entries.append({name + QLatin1Char('/') + relative, digest});
        m_checks.add([to, digest] {
            if (HashedCopy::digestOf(to) != digest)
                return QStringLiteral("'%1' does not match the checksum taken while it was copied.").arg(to);
            return QString();
        });
    }

    const Request& m_request;
    QString m_staging;
    IBackupProgress& m_progress;
    QList<Manifest::Entry> m_entries;
    qint64 m_done = 0;
    BackgroundChecks m_checks;
};

// Gives the staging folder the backup's name; with overwrite an older folder of that name is moved aside
// first and returned, to be removed once the manifest is written. Throws when the name is taken.
QString putInPlace(const QString& staging, const QString& folder, bool overwrite)
{
    QString aside;
    if (overwrite && QFileInfo::exists(folder)) {
        aside = staging + QStringLiteral(".old");
        if (::rename(local(folder).constData(), local(aside).constData()) != 0)
            fail(QStringLiteral("'%1' could not be replaced: %2.").arg(folder, systemErrorText(errno)));
    }
    if (::renameat2(AT_FDCWD, local(staging).constData(), AT_FDCWD, local(folder).constData(),
                    RENAME_NOREPLACE) != 0) {
        const int error = errno;
        if (!aside.isEmpty())
            ::rename(local(aside).constData(), local(folder).constData());
        if (error == EEXIST)
            fail(QStringLiteral("'%1' exists already (another backup made in the same second?); nothing was "
                                "written. Use --overwrite to replace it.")
                     .arg(folder));
        fail(HashedCopy::writeFailure(folder, error));
    }
    return aside;
}

} // namespace

Report make(const Request& request, IBackupProgress& progress)
{
    const QString folder = FolderPaths::withoutTrailingSlash(request.folder);
    if (request.appFolder.isEmpty() || folder.isEmpty())
        fail(QStringLiteral("The application folder and the backup folder must both be given."));
    const QString companies = request.appFolder + QLatin1Char('/') + AppFolder::CompanyDataFolderName;
    // A backup kept inside the folder it copies would change the source and copy itself again next time.
    if (FolderPaths::liesWithin(folder, companies))
        fail(QStringLiteral("The backup folder '%1' lies inside '%2', the folder it copies. Choose a backup "
                            "folder outside it.")
                 .arg(folder, companies));
    const BackupContents::Listing listing = BackupContents::list(request.appFolder);

    const QString parent = QFileInfo(folder).path();
    const QString name = QFileInfo(folder).fileName();
    if (const int error = FolderPaths::makeFolders(parent); error != 0)
        fail(QStringLiteral("The backup folder '%1' could not be made: %2.")
                 .arg(parent, systemErrorText(error)));
    if (QFileInfo::exists(folder) && !request.overwrite)
        fail(QStringLiteral("'%1' exists already; nothing was written. Use --overwrite to replace it.")
                 .arg(folder));

    progress.begin(listing.totalBytes);
    QElapsedTimer clock;
    clock.start();
    StagingFolder staging(parent, name);
    Copier copier(request, staging.path(), progress);
    try {
        copier.copyAll(listing);
    } catch (const AppError& error) {
        // A file that could not be written is named by its place in the backup, not the hidden folder's.
        throw AppError(error.number(), QString(error.description()).replace(staging.path(), folder));
    }
    const qint64 copied = clock.nsecsElapsed();
    copier.finishChecks();
    const qint64 checked = clock.nsecsElapsed();

    const QString aside = putInPlace(staging.path(), folder, request.overwrite);
    staging.keep();
    try {
        Manifest::write(Manifest::pathFor(folder), copier.entries());
    } catch (const AppError&) {
        FolderPaths::removeTree(folder);
        if (!aside.isEmpty())
            ::rename(local(aside).constData(), local(folder).constData());
        throw;
    }
    // The manifest's writer has synced the parent folder, the backup's new name with it; the older
    // folder's removal need not reach the disk before success is reported.
    if (!aside.isEmpty())
        FolderPaths::removeTree(aside);

    Report report{folder, Manifest::pathFor(folder), int(copier.entries().size()), copier.bytes(), {}, {}};
    report.skipped = listing.skipped;
    report.copySeconds = double(copied) / 1e9;
    report.checkWaitSeconds = double(checked - copied) / 1e9;
    report.finishSeconds = double(clock.nsecsElapsed() - checked) / 1e9;
    if (request.keep > 0)
        report.pruned = BackupPruning::prune(parent, request.keep);
    return report;
}

} // namespace BackupMaker

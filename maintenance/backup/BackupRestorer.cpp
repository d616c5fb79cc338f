#include "maintenance/backup/BackupRestorer.h"

#include "base/AppError.h"
#include "base/FileLock.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"
#include "maintenance/backup/BackupContents.h"
#include "maintenance/backup/BackupVerifier.h"
#include "maintenance/backup/DatabaseReadLock.h"
#include "maintenance/backup/FolderPaths.h"
#include "maintenance/backup/HashedCopy.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <list>
#include <sys/stat.h>
#include <vector>

namespace BackupRestorer {

namespace {

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::PathFileAccessError, text);
}

QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

// Whether any connection holds a lock on SQLite's lock bytes of the open file.
bool sqliteLockHeld(int fd)
{
    struct flock probe
    {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = DatabaseReadLock::PendingByte;
    probe.l_len = 2 + DatabaseReadLock::SharedSize;
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0)
        return true;
    return probe.l_type != F_UNLCK;
}

// The copies written beside their places, removed unless they were renamed into place.
class StagedFiles
{
public:
    ~StagedFiles()
    {
        for (const QString& path : m_paths)
            ::unlink(local(path).constData());
    }
    StagedFiles() = default;
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;
    void add(const QString& path) { m_paths.append(path); }
    void placed(const QString& path) { m_paths.removeAll(path); }

private:
    QStringList m_paths;
};

QString asidePathFor(const QString& target)
{
    const QFileInfo info(target);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".replaced");
}

// The rename pass of a restore: the files it replaced are kept aside until commit(); an object that ends
// without commit() (a step failed) removes the files it placed and puts back what it set aside, in the
// reverse order.
class SetAside
{
public:
    SetAside() = default;
    SetAside(const SetAside&) = delete;
    SetAside& operator=(const SetAside&) = delete;
    ~SetAside()
    {
        if (m_committed)
            return;
        for (auto step = m_steps.crbegin(); step != m_steps.crend(); ++step) {
            if (step->placed)
                ::unlink(local(step->path).constData());
            else
                ::rename(local(asidePathFor(step->path)).constData(), local(step->path).constData());
        }
    }

    // Sets the file at path aside, when there is one. Throws when it cannot be moved.
    void moveAway(const QString& path)
    {
        const QString to = asidePathFor(path);
        ::unlink(local(to).constData()); // a killed restore's
        if (::rename(local(path).constData(), local(to).constData()) != 0) {
            if (errno == ENOENT)
                return;
            fail(QStringLiteral("'%1' could not be replaced: %2. Nothing was restored.")
                     .arg(path, systemErrorText(errno)));
        }
        m_steps.push_back({path, false});
    }
    // Renames the staged file to path. Throws when it cannot.
    void place(const QString& staged, const QString& path)
    {
        if (::rename(local(staged).constData(), local(path).constData()) != 0)
            fail(HashedCopy::writeFailure(path, errno) + QStringLiteral(" Nothing was restored."));
        m_steps.push_back({path, true});
    }
    // Keeps what was placed and removes what was set aside.
    void commit()
    {
        m_committed = true;
        for (const Step& step : m_steps)
            if (!step.placed)
                ::unlink(local(asidePathFor(step.path)).constData());
    }

private:
    struct Step
    {
        QString path;
        bool placed; // false: set aside
    };
    std::vector<Step> m_steps;
    bool m_committed = false;
};

QString stagingPathFor(const QString& target)
{
    const QFileInfo info(target);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".restoring");
}

} // namespace

Report restore(const Request& request, IBackupProgress& progress)
{
    if (request.backupFolder.isEmpty() || request.appFolder.isEmpty())
        fail(QStringLiteral("The backup folder and the application folder must both be given."));
    NoBackupProgress quiet;
    const BackupVerifier::Report backup =
        BackupVerifier::verify(request.backupFolder, request.password, quiet);
    const QString app = FolderPaths::withoutTrailingSlash(request.appFolder);
    if (FolderPaths::liesWithin(app, backup.folder) ||
        FolderPaths::liesWithin(backup.folder, app + QStringLiteral("/CompanyData")))
        fail(QStringLiteral("'%1' cannot be restored into '%2': one lies inside the other.")
                 .arg(backup.folder, app));
    const BackupContents::Listing listing = BackupContents::listAll(backup.folder);

    // Every refusal comes before the first write.
    std::list<FileLock> held;
    for (const BackupContents::File& file : listing.files) {
        const QString target = app + QLatin1Char('/') + file.relative;
        const QFileInfo info(target);
        if (!info.exists() && !info.isSymLink())
            continue;
        if (!request.overwrite)
            fail(QStringLiteral("'%1' exists already; nothing was restored. Use --overwrite to replace it.")
                     .arg(target));
        if (info.isDir())
            fail(QStringLiteral("'%1' is a folder; a file of the backup cannot replace it.").arg(target));
        FileLock& lock = held.emplace_back();
        const int error = lock.acquire(target, FileLock::Mode::Exclusive);
        if (error == EWOULDBLOCK || (error == 0 && sqliteLockHeld(lock.fd())))
            fail(QStringLiteral("'%1' is open in another program; close it and restore again. Nothing was "
                                "restored.")
                     .arg(target));
        if (error != 0 && error != EACCES)
            fail(QStringLiteral("'%1' could not be examined: %2.").arg(target, systemErrorText(error)));
    }
    if (const int error = FolderPaths::makeFolders(app); error != 0)
        fail(QStringLiteral("'%1' could not be made: %2.").arg(app, systemErrorText(error)));
    for (const QString& folder : listing.folders) {
        if (const int error = FolderPaths::makeFolders(app + QLatin1Char('/') + folder); error != 0)
            fail(QStringLiteral("'%1/%2' could not be made: %3.").arg(app, folder, systemErrorText(error)));
    }

    progress.begin(listing.totalBytes);
    Report report;
    StagedFiles staged;
    const QString prefix = QFileInfo(backup.folder).fileName() + QLatin1Char('/');
    QHash<QString, QByteArray> digests;
    for (const Manifest::Entry& entry : backup.entries)
        digests.insert(entry.path.mid(prefix.size()), entry.digest);
    for (const BackupContents::File& file : listing.files) {
        const QString from = backup.folder + QLatin1Char('/') + file.relative;
        const QString to = stagingPathFor(app + QLatin1Char('/') + file.relative);
        ::unlink(local(to).constData());
        const UniqueFd in(::open(local(from).constData(), O_RDONLY | O_CLOEXEC));
        if (!in)
            fail(QStringLiteral("'%1' could not be read: %2.").arg(from, systemErrorText(errno)));
        staged.add(to);
        const qint64 before = report.bytes;
        const QByteArray digest =
            HashedCopy::copy(in.get(), from, to, [&](qint64 written) { progress.advance(before + written); });
        if (digest != digests.value(file.relative))
            fail(QStringLiteral("'%1' changed while it was restored; nothing was replaced.").arg(from));
        struct stat info
        {};
        if (::fstat(in.get(), &info) == 0)
            ::chmod(local(to).constData(), info.st_mode & 07777);
        report.bytes += file.size;
        ++report.files;
    }
    // Everything is on the disk beside its place: now the files take their places in one quick pass.
    // What each replaces (and a replaced database's stale journal, which would be rolled back into the
    // restored one) is first set aside under a hidden name; when a step of the pass fails, every file
    // placed so far goes and what was set aside is put back, so the folder holds the old books or the new.
    SetAside aside;
    for (const BackupContents::File& file : listing.files) {
        const QString target = app + QLatin1Char('/') + file.relative;
        if (BackupContents::isDatabaseName(file.relative))
            aside.moveAway(BackupContents::journalOf(target));
        aside.moveAway(target);
        const QString from = stagingPathFor(target);
        aside.place(from, target);
        staged.placed(from);
    }
    aside.commit();
    FolderPaths::syncFolder(app);
    for (const QString& folder : listing.folders)
        FolderPaths::syncFolder(app + QLatin1Char('/') + folder);
    return report;
}

} // namespace BackupRestorer

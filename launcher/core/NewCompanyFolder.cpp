#include "launcher/core/NewCompanyFolder.h"

#include "base/AppError.h"
#include "base/PathJoin.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The marker's lock is a record lock of its own open file (F_OFD_SETLK): unlike flock it reaches the
// server on a network share that keeps flock local, and unlike a process's POSIX locks it also keeps out
// another add in the same process and is not dropped when some other descriptor of the file is closed.
bool lockWhole(int fd)
{
    struct flock whole
    {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &whole) == 0;
}

// The marker is written under a name of its own and renamed into place once it is locked, so that a
// marker another program sees is always held by its add, or by nobody when that add was killed.
int makeLockedMarker(const QString& folder)
{
    QByteArray pattern = local(joinPath({folder, QStringLiteral(".companydesk-adding.XXXXXX")}));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    // Readable as any new file would be (mkostemp makes it the owner's only), so that another seat's
    // user can take the lock of an abandoned marker and clean up after it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const QByteArray marker = local(joinPath({folder, NewCompanyFolder::MarkerName}));
    if (!lockWhole(fd) || ::rename(pattern.constData(), marker.constData()) != 0) {
        const int error = errno;
        ::unlink(pattern.constData());
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void removeMarker(const QString& folder)
{
    ::unlink(local(joinPath({folder, NewCompanyFolder::MarkerName})).constData());
}

// Removes only what an add makes in its folder: the database copy and its journal, the copy's partial
// files (".N.mdb.XXXXXX") and unfinished markers; the marker goes last, so that a removal that is itself
// interrupted is taken up again. The folder goes only when nothing else is left in it.
void removeAddedFiles(const QString& folder, std::int16_t id)
{
    const QString database = QString::number(id) + QStringLiteral(".mdb");
    const QString partial = QLatin1Char('.') + database + QLatin1Char('.');
    const QString unfinishedMarker = NewCompanyFolder::MarkerName + QLatin1Char('.');
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (name == database || name == database + QStringLiteral("-journal") || name.startsWith(partial) ||
            name.startsWith(unfinishedMarker))
            ::unlink(local(joinPath({folder, name})).constData());
    }
    removeMarker(folder);
    ::rmdir(local(folder).constData());
}

// The marker of folder locked; -1 when there is none, another program holds it, or its add removed it
// meanwhile (the add then finished).
int lockAbandonedMarker(const QString& folder)
{
    int fd = ::open(local(joinPath({folder, NewCompanyFolder::MarkerName})).constData(),
                    O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st
    {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !lockWhole(fd) || st.st_nlink == 0)
        closeFd(fd);
    return fd;
}

} // namespace

const QString NewCompanyFolder::MarkerName = QStringLiteral(".companydesk-adding");

NewCompanyFolder NewCompanyFolder::reserve(const QString& companyData, int firstId)
{
    for (int id = std::max(firstId, 1); id <= 32767; ++id) {
        const QString folder = joinPath({companyData, QString::number(id)});
        if (::mkdir(local(folder).constData(), 0777) != 0) {
            const int error = errno;
            if (error == EEXIST)
                continue; // kept books, or anything else: never reused
            throw AppError(ErrorNumber::Unspecified,
                           QStringLiteral("The folder %1 for the new company could not be made: %2.")
                               .arg(folder, systemError(error)));
        }
        const int fd = makeLockedMarker(folder);
        if (fd < 0) {
            const int error = errno;
            ::rmdir(local(folder).constData());
            throw AppError(ErrorNumber::Unspecified,
                           QStringLiteral("The folder %1 for the new company could not be used: %2.")
                               .arg(folder, systemError(error)));
        }
        return NewCompanyFolder(static_cast<std::int16_t>(id), folder, fd);
    }
    throw AppError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
}

NewCompanyFolder::NewCompanyFolder(std::int16_t id, QString path, int markerFd)
    : m_id(id), m_path(std::move(path)), m_markerFd(markerFd)
{}

NewCompanyFolder::NewCompanyFolder(NewCompanyFolder&& other) noexcept
    : m_id(other.m_id), m_path(std::move(other.m_path)), m_markerFd(other.m_markerFd)
{
    other.m_markerFd = -1;
}

NewCompanyFolder::~NewCompanyFolder()
{
    if (m_markerFd < 0)
        return;
    removeAddedFiles(m_path, m_id);
    closeFd(m_markerFd);
}

void NewCompanyFolder::keep()
{
    // Removed before it is unlocked: a marker found unlocked is always an abandoned one.
    removeMarker(m_path);
    closeFd(m_markerFd);
}

void NewCompanyFolder::recover(const QString& companyData,
                               const std::function<bool(std::int16_t)>& isRecorded)
{
    const QStringList names = QDir(companyData).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        bool number = false;
        const int id = name.toInt(&number);
        if (!number || id < 1 || id > 32767 || name != QString::number(id))
            continue;
        const QString folder = joinPath({companyData, name});
        if (!QFile::exists(joinPath({folder, MarkerName})))
            continue;
        int fd = lockAbandonedMarker(folder);
        if (fd < 0)
            continue;
        // Asked only now, with the marker held: the add it belonged to cannot add its row any more.
        bool recorded = true;
        try {
            recorded = isRecorded(static_cast<std::int16_t>(id));
        } catch (...) {
            closeFd(fd);
            throw;
        }
        if (recorded)
            removeMarker(folder);
        else
            removeAddedFiles(folder, static_cast<std::int16_t>(id));
        closeFd(fd);
    }
}

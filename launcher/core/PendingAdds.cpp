#include "launcher/core/PendingAdds.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "base/SystemError.h"
#include "launcher/core/FolderEntries.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::Unspecified, text);
}

// The lock of a marker is a record lock of its own open file (F_OFD_SETLK): unlike flock it reaches the
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

// Whether the open file still has a name: a marker removed after it was opened has none.
bool stillNamed(int fd)
{
    struct stat st
    {};
    return ::fstat(fd, &st) == 0 && st.st_nlink > 0;
}

} // namespace

const QString PendingAdds::FolderName = QStringLiteral(".companydesk-adding");
const QString PendingAdds::ScratchPrefix = QStringLiteral(".new-");

QString PendingAdds::folderPath(const QString& companyData)
{
    return joinPath({companyData, FolderName});
}

std::optional<PendingAdds> PendingAdds::open(const QString& companyData, bool make)
{
    const QString path = folderPath(companyData);
    const QByteArray name = local(path);
    if (make && ::mkdir(name.constData(), 0777) != 0 && errno != EEXIST)
        fail(QStringLiteral("The folder of adds in progress %1 could not be made: %2.")
                 .arg(path, systemErrorText(errno)));
    UniqueFd fd(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        struct stat st
        {};
        if (error == ENOENT && !make)
            return std::nullopt;
        if (::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            fail(QStringLiteral("The folder of adds in progress %1 is a symbolic link; it is left as it is. "
                                "Remove the link so that a real folder can take its place.")
                     .arg(path));
        if (error == ENOTDIR)
            fail(QStringLiteral("The folder of adds in progress %1 is not a folder; it is left as it is. "
                                "Move it away so that a folder can take its place.")
                     .arg(path));
        fail(QStringLiteral("The folder of adds in progress %1 could not be opened: %2.")
                 .arg(path, systemErrorText(error)));
    }
    return PendingAdds(path, std::move(fd));
}

void PendingAdds::removeIfEmpty(const QString& companyData)
{
    ::rmdir(local(folderPath(companyData)).constData());
}

int PendingAdds::claim(int id, UniqueFd& marker) const
{
    const QByteArray name = QByteArray::number(id);
    // The marker is made and locked under a name of its own, then linked to the identifier's name: a
    // marker is never seen unlocked while its add runs, so no start takes it for a killed add's.
    // Readable and writable as any new file would be, so that another seat's user can take the lock of
    // an abandoned marker and clean up after it.
    QByteArray scratch;
    UniqueFd fd;
    for (int attempt = 0; !fd && attempt < 100; ++attempt) {
        scratch = local(ScratchPrefix) + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = UniqueFd(::openat(m_fd.get(), scratch.constData(),
                               O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd && errno != EEXIST)
            return errno;
        // A start cleaning up may take a scratch marker in the moment before it is locked, for one a
        // killed claim left; another name is tried then.
        if (fd && (!lockWhole(fd.get()) || !stillNamed(fd.get())))
            fd.reset();
    }
    if (!fd)
        return EEXIST;
    const int linked =
        ::linkat(m_fd.get(), scratch.constData(), m_fd.get(), name.constData(), 0) == 0 ? 0 : errno;
    ::unlinkat(m_fd.get(), scratch.constData(), 0);
    if (linked == 0) {
        marker = std::move(fd);
        return 0;
    }
    if (linked != EPERM && linked != EOPNOTSUPP && linked != ENOSYS)
        return linked; // EEXIST among them: another add's marker, running or killed
    // A file system without hard links: the marker is made under its own name and locked at once. In the
    // moment between, another program may take it for an abandoned one and remove it; the identifier is
    // then skipped, and nothing else is removed (the marker says no folder was made).
    fd = UniqueFd(
        ::openat(m_fd.get(), name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd)
        return errno;
    if (!lockWhole(fd.get()) || !stillNamed(fd.get()))
        return EEXIST;
    marker = std::move(fd);
    return 0;
}

bool PendingAdds::isScratch(const QString& name)
{
    return name.startsWith(ScratchPrefix);
}

int PendingAdds::removeScratch(const QString& name) const
{
    int error = 0;
    const UniqueFd held = lockAbandoned(name, error);
    if (!held)
        return error;
    return ::unlinkat(m_fd.get(), local(name).constData(), 0) == 0 || errno == ENOENT ? 0 : errno;
}

int PendingAdds::noteFolderMade(int marker, int id)
{
    const QByteArray text = QByteArray::number(id);
    const ssize_t written = ::pwrite(marker, text.constData(), size_t(text.size()), 0);
    if (written == text.size())
        return 0;
    return written < 0 ? errno : EIO;
}

int PendingAdds::folderMade(int marker)
{
    char text[8] = {};
    const ssize_t got = ::pread(marker, text, sizeof text, 0);
    if (got == 0)
        return 0;
    if (got < 0 || got >= ssize_t(sizeof text))
        return -1;
    const QByteArray written(text, int(got));
    bool number = false;
    const int id = written.toInt(&number);
    return number && id >= 1 && id <= 32767 && QByteArray::number(id) == written ? id : -1;
}

UniqueFd PendingAdds::lockAbandoned(const QString& name, int& error) const
{
    error = 0;
    UniqueFd fd(::openat(m_fd.get(), local(name).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        // Gone: its add finished, or another program cleaned up after it meanwhile.
        if (errno == EISDIR || errno == ELOOP)
            error = EINVAL;
        else if (errno != ENOENT)
            error = errno;
        return {};
    }
    struct stat st
    {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = EINVAL;
        return {};
    }
    if (!lockWhole(fd.get()) || !stillNamed(fd.get()))
        return {};
    return fd;
}

int PendingAdds::remove(int id) const
{
    return ::unlinkat(m_fd.get(), QByteArray::number(id).constData(), 0) == 0 ? 0 : errno;
}

QStringList PendingAdds::names() const
{
    QStringList result;
    if (const int error = folderEntries(m_fd.get(), result); error != 0)
        fail(QStringLiteral("The folder of adds in progress %1 could not be read: %2.")
                 .arg(m_path, systemErrorText(error)));
    return result;
}

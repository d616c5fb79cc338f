#include "base/FileLock.h"

#include "base/FileUse.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

int FileLock::open(const QString& path)
{
    release();
    // Read access is enough for flock; O_NONBLOCK keeps a pipe in the way from stopping us.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    m_fd.reset(fd);
    return 0;
}

int FileLock::lock(Mode mode)
{
    if (!m_fd.valid())
        return EBADF;
    if (::flock(m_fd.get(), (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0)
        return errno;
    // Whatever takes a file as a whole must also keep clear of programs that do not know the flock:
    // another SQLite program (in a transaction, or with a database in WAL mode) holds its own record locks,
    // and an idle one still has the file open and would go on writing to a replaced file's old inode.
    if (mode == Mode::Exclusive && FileUse::inUse(m_fd.get())) {
        ::flock(m_fd.get(), LOCK_UN);
        return EWOULDBLOCK;
    }
    return 0;
}

int FileLock::lockExclusive(const FileUse::OpenFiles& openElsewhere)
{
    if (!m_fd.valid())
        return EBADF;
    if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno;
    if (FileUse::inUse(m_fd.get(), openElsewhere)) {
        ::flock(m_fd.get(), LOCK_UN);
        return EWOULDBLOCK;
    }
    return 0;
}

int FileLock::acquireExclusive(const QString& path, const FileUse::OpenFiles& openElsewhere)
{
    if (const int error = open(path); error != 0)
        return error;
    const int error = lockExclusive(openElsewhere);
    if (error != 0)
        release();
    return error;
}

int FileLock::acquire(const QString& path, Mode mode)
{
    if (const int error = open(path); error != 0)
        return error;
    const int error = lock(mode);
    if (error != 0)
        release();
    return error;
}

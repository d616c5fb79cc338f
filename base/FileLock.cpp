#include "base/FileLock.h"

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
    return 0;
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

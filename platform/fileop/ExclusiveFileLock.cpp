#include "platform/fileop/ExclusiveFileLock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

ExclusiveFileLock::~ExclusiveFileLock()
{
    release();
}

ExclusiveFileLock::ExclusiveFileLock(ExclusiveFileLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1))
{}

ExclusiveFileLock& ExclusiveFileLock::operator=(ExclusiveFileLock&& other) noexcept
{
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int ExclusiveFileLock::lock(const QString& path)
{
    release();
    // Read access is enough for flock; O_NONBLOCK keeps a pipe in the way from stopping us.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    m_fd = fd;
    return 0;
}

void ExclusiveFileLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

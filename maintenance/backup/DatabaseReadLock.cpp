#include "maintenance/backup/DatabaseReadLock.h"

#include <cerrno>
#include <fcntl.h>

namespace {

int setLock(int fd, short type, off_t start, off_t length)
{
    struct flock lock
    {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    while (::fcntl(fd, F_OFD_SETLKW, &lock) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace

int DatabaseReadLock::acquire(int fd)
{
    release();
    // As SQLite's readers do: the pending byte first, so that a writer about to commit goes first and a
    // stream of readers cannot starve it; then the shared range; then the pending byte is let go.
    if (const int error = setLock(fd, F_RDLCK, PendingByte, 1); error != 0)
        return error;
    if (const int error = setLock(fd, F_RDLCK, SharedFirst, SharedSize); error != 0) {
        setLock(fd, F_UNLCK, PendingByte, 1);
        return error;
    }
    setLock(fd, F_UNLCK, PendingByte, 1);
    m_fd = fd;
    return 0;
}

void DatabaseReadLock::release()
{
    if (m_fd >= 0)
        setLock(m_fd, F_UNLCK, SharedFirst, SharedSize);
    m_fd = -1;
}

bool DatabaseReadLock::writerActive() const
{
    if (m_fd < 0)
        return false;
    struct flock probe
    {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = ReservedByte;
    probe.l_len = 1;
    if (::fcntl(m_fd, F_OFD_GETLK, &probe) != 0)
        return true; // unknown: take the journal as a live writer's and leave it
    return probe.l_type != F_UNLCK;
}

#include "base/FileUse.h"

#include <QByteArray>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace FileUse {

namespace {

// SQLite's locking bytes in every database file: PENDING at 1 GiB, RESERVED after it, and the 510 bytes
// of the SHARED range after that.
constexpr off_t PendingByte = 0x40000000;
constexpr off_t LockBytes = 2 + 510;

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

bool allDigits(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

// Whether the process pid has a handle on the file (dev, ino).
bool holds(const QByteArray& pid, dev_t dev, ino_t ino)
{
    const QByteArray fdFolder = QByteArray("/proc/") + pid + QByteArray("/fd");
    Dir fds(::opendir(fdFolder.constData()));
    if (!fds)
        return false; // gone, or not ours to see
    while (const dirent* entry = ::readdir(fds.get())) {
        if (!allDigits(entry->d_name))
            continue;
        struct stat st
        {};
        if (::fstatat(::dirfd(fds.get()), entry->d_name, &st, 0) == 0 && st.st_dev == dev && st.st_ino == ino)
            return true;
    }
    return false;
}

} // namespace

bool sqliteLocked(int fd)
{
    // An open file description's lock query sees the classic record locks SQLite takes, from any process,
    // this one's other handles included.
    struct flock probe
    {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = PendingByte;
    probe.l_len = LockBytes;
    probe.l_pid = 0;
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0)
        return false;
    return probe.l_type != F_UNLCK;
}

QList<pid_t> openElsewhere(int fd)
{
    QList<pid_t> holders;
    struct stat target
    {};
    if (::fstat(fd, &target) != 0 || !S_ISREG(target.st_mode))
        return holders;
    Dir processes(::opendir("/proc"));
    if (!processes)
        return holders;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(processes.get())) {
        if (!allDigits(entry->d_name))
            continue;
        const pid_t pid = pid_t(std::strtol(entry->d_name, nullptr, 10));
        if (pid != self && holds(QByteArray(entry->d_name), target.st_dev, target.st_ino))
            holders.append(pid);
    }
    return holders;
}

OpenFiles OpenFiles::take()
{
    OpenFiles open;
    Dir processes(::opendir("/proc"));
    if (!processes)
        return open;
    const pid_t self = ::getpid();
    while (const dirent* process = ::readdir(processes.get())) {
        if (!allDigits(process->d_name) || pid_t(std::strtol(process->d_name, nullptr, 10)) == self)
            continue;
        const QByteArray fdFolder = QByteArray("/proc/") + process->d_name + QByteArray("/fd");
        Dir fds(::opendir(fdFolder.constData()));
        if (!fds)
            continue; // gone, or not ours to see
        while (const dirent* entry = ::readdir(fds.get())) {
            struct stat st
            {};
            if (allDigits(entry->d_name) && ::fstatat(::dirfd(fds.get()), entry->d_name, &st, 0) == 0 &&
                S_ISREG(st.st_mode))
                open.m_files.insert({quint64(st.st_dev), quint64(st.st_ino)});
        }
    }
    return open;
}

bool OpenFiles::contains(int fd) const
{
    struct stat st
    {};
    return ::fstat(fd, &st) == 0 && m_files.contains({quint64(st.st_dev), quint64(st.st_ino)});
}

bool inUse(int fd, const OpenFiles& openElsewhere)
{
    struct stat st
    {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return sqliteLocked(fd) || openElsewhere.contains(fd);
}

bool inUse(int fd)
{
    struct stat st
    {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return sqliteLocked(fd) || !openElsewhere(fd).isEmpty();
}

} // namespace FileUse

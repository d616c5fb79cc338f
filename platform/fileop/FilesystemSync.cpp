#include "platform/fileop/FilesystemSync.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FilesystemSync::~FilesystemSync()
{
    for (const auto& [device, fd] : m_folders)
        ::close(fd);
}

void FilesystemSync::add(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st
    {};
    if (::fstat(fd, &st) != 0 || m_folders.count(st.st_dev) != 0) {
        ::close(fd);
        return;
    }
    m_folders.emplace(st.st_dev, fd);
}

int FilesystemSync::syncAll()
{
    for (const auto& [device, fd] : m_folders) {
        if (::syncfs(fd) != 0)
            return errno;
    }
    return 0;
}

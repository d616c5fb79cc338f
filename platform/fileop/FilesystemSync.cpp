#include "platform/fileop/FilesystemSync.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void FilesystemSync::add(const QString& folder)
{
    UniqueFd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return;
    struct stat st
    {};
    if (::fstat(fd.get(), &st) != 0 || m_folders.count(st.st_dev) != 0)
        return;
    m_folders.emplace(st.st_dev, std::move(fd));
}

int FilesystemSync::syncAll()
{
    for (const auto& [device, fd] : m_folders) {
        if (::syncfs(fd.get()) != 0)
            return errno;
    }
    return 0;
}

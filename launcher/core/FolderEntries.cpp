#include "launcher/core/FolderEntries.h"

#include "base/UniqueFd.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <memory>

int folderEntries(int fd, QStringList& names)
{
    UniqueFd copy(::dup(fd));
    if (!copy)
        return errno;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(copy.get()), &::closedir);
    if (!dir)
        return errno;
    copy.release(); // the listing owns it now
    ::rewinddir(dir.get());
    names.clear();
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QStringLiteral(".") && name != QStringLiteral(".."))
            names << name;
        errno = 0;
    }
    return errno;
}

#include "maintenance/backup/FolderPaths.h"

#include "base/UniqueFd.h"
#include "platform/ShellPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace FolderPaths {

QString physicalPath(const QString& path)
{
    QString existing = ShellPath::resolve(path);
    QString rest;
    while (!QFileInfo::exists(existing) && existing != QStringLiteral("/")) {
        rest.prepend(QLatin1Char('/') + QFileInfo(existing).fileName());
        existing = QFileInfo(existing).path();
    }
    QString real = QFileInfo(existing).canonicalFilePath();
    if (real.endsWith(QLatin1Char('/')))
        real.chop(1);
    return real + rest;
}

bool liesWithin(const QString& path, const QString& folder)
{
    const QString inner = physicalPath(path);
    const QString outer = physicalPath(folder);
    return inner == outer || inner.startsWith(outer + QLatin1Char('/'));
}

QString withoutTrailingSlash(const QString& path)
{
    QString result = path;
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

int makeFolders(const QString& path)
{
    const QString folder = withoutTrailingSlash(path);
    if (QFileInfo(folder).isDir())
        return 0;
    const QString parent = QFileInfo(folder).path();
    if (parent != folder)
        if (const int error = makeFolders(parent); error != 0)
            return error;
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0 && errno != EEXIST)
        return errno;
    return QFileInfo(folder).isDir() ? 0 : ENOTDIR;
}

int syncFolder(const QString& path)
{
    const UniqueFd folder(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return errno;
    return ::fsync(folder.get()) == 0 ? 0 : errno;
}

void removeTree(const QString& path)
{
    if (QFileInfo(path).isSymLink() || !QFileInfo(path).isDir())
        QFile::remove(path);
    else
        QDir(path).removeRecursively();
}

} // namespace FolderPaths

#include "shared/modFileSys.h"

#include "engine/AppError.h"
#include "platform/ShellPath.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>

namespace modFileSys {

void RequirePath(const QString& path)
{
    if (path.isEmpty())
        throw AppError(ErrorNumber::EmptyString, QStringLiteral("Empty string passed."));
}

bool FileExists(const QString& path)
{
    RequirePath(path);
    const QFileInfo info(ShellPath::resolve(path));
    return info.exists() && !info.isDir();
}

bool FolderExists(const QString& path)
{
    RequirePath(path);
    return QFileInfo(ShellPath::resolve(path)).isDir();
}

short CreateFolderPath(const QString& path, int* error)
{
    RequirePath(path);
    if (error != nullptr)
        *error = 0;
    short result = FolderPath::NothingCreated;
    try {
        if (FolderExists(path))
            return FolderPath::AlreadyExisted;
        QString walk = QFileInfo(path).absoluteFilePath();
        if (!walk.endsWith(QLatin1Char('/')))
            walk += QLatin1Char('/');
        // What lies before the first separator is the root, which always exists; every deeper level is
        // made in turn. A level that exists under another case is used as it is.
        for (qsizetype at = walk.indexOf(QLatin1Char('/'), 1); at > 0;
             at = walk.indexOf(QLatin1Char('/'), at + 1)) {
            const QString level = walk.left(at);
            if (level.endsWith(QLatin1Char('/')) || FolderExists(level))
                continue;
            if (::mkdir(QFile::encodeName(ShellPath::resolve(level)).constData(), 0777) != 0) {
                if (error != nullptr)
                    *error = errno;
                return result;
            }
            result = FolderPath::Created;
        }
    } catch (const std::exception&) {
        return result;
    }
    return result;
}

} // namespace modFileSys

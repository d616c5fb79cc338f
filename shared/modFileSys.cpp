#include "shared/modFileSys.h"

#include "base/AppError.h"
#include "platform/ShellPath.h"

#include <QFileInfo>

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

} // namespace modFileSys

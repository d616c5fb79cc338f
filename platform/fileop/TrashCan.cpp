#include "platform/fileop/TrashCan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace TrashCan {

namespace {

QString dataHome()
{
    const QString fromEnvironment = qEnvironmentVariable("XDG_DATA_HOME");
    if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment))
        return fromEnvironment;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

} // namespace

QString homeTrash()
{
    return dataHome() + QStringLiteral("/Trash");
}

bool moveToTrash(const QString& path, QString* reason)
{
    // When it cannot make the home trash, Qt falls back to "files" and "info" folders in the current folder
    // and reports success. So the home trash is made here first, owner-only as the trash's convention
    // wants, and without it nothing is moved, even where a trash at the top of another filesystem might
    // have taken the item.
    const QString trash = homeTrash();
    for (const QString& folder :
         {dataHome(), trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info")}) {
        if (QFileInfo(folder).isDir())
            continue;
        const bool made = folder == dataHome() ? QDir().mkpath(folder)
                                               : ::mkdir(QFile::encodeName(folder).constData(), 0700) == 0;
        if (!made) {
            if (reason)
                *reason = QStringLiteral("the trash folder \"%1\" cannot be created").arg(folder);
            return false;
        }
    }
    if (!QFile::moveToTrash(path)) {
        if (reason)
            *reason = QStringLiteral("no trash can take it");
        return false;
    }
    return true;
}

} // namespace TrashCan

#include "platform/AppInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

AppInfo AppInfo::current(const QString& productName)
{
    AppInfo info;
    info.folder = QCoreApplication::applicationDirPath();
    while (info.folder.size() > 1 && info.folder.endsWith(QLatin1Char('/')))
        info.folder.chop(1);
    info.startFolder = QDir::currentPath();
    info.productName = productName;
    info.fileName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    info.major = APP_VERSION_MAJOR;
    info.minor = APP_VERSION_MINOR;
    info.revision = APP_VERSION_REVISION;
    return info;
}

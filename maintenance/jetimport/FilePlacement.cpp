#include "maintenance/jetimport/FilePlacement.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FilePlacement {

namespace {

AppError failure(const QString& what, const QString& path, int error)
{
    return AppError(ErrorNumber::Unspecified,
                    QStringLiteral("%1 '%2' failed: %3.").arg(what, path, systemErrorText(error)));
}

void syncPath(const QString& path, int flags, const QString& what)
{
    const UniqueFd fd(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC));
    if (!fd)
        throw failure(what, path, errno);
    if (::fsync(fd.get()) != 0)
        throw failure(what, path, errno);
}

} // namespace

void syncFile(const QString& path)
{
    syncPath(path, O_RDONLY, QStringLiteral("Writing the file"));
}

void syncFolder(const QString& folder)
{
    syncPath(folder, O_RDONLY | O_DIRECTORY, QStringLiteral("Writing the folder"));
}

void renameNew(const QString& from, const QString& to)
{
    if (::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                    QFile::encodeName(to).constData(), RENAME_NOREPLACE) == 0)
        return;
    const int error = errno;
    if (error == EEXIST)
        throw AppError(ErrorNumber::Unspecified,
                       QStringLiteral("'%1' exists already; it is left as it is.").arg(to));
    throw failure(QStringLiteral("Putting in place"), to, error);
}

QString workingNameFor(const QString& target)
{
    const QFileInfo info(target);
    for (;;) {
        const QString candidate = pathInFolder(
            info.path(), QStringLiteral(".%1.importing-%2-%3")
                             .arg(info.fileName())
                             .arg(::getpid())
                             .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0')));
        struct stat status
        {};
        if (::lstat(QFile::encodeName(candidate).constData(), &status) != 0 && errno == ENOENT)
            return candidate;
    }
}

} // namespace FilePlacement

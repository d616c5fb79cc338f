#include "platform/fileop/FileOpMessages.h"

#include "base/SystemError.h"

#include <cerrno>

namespace FileOpMessages {

namespace {

QString reasonOf(int error)
{
    if (error == ENOTDIR)
        return QStringLiteral("a part of the path is a file, not a folder");
    // Only making a folder meets this: something other than a folder has its name.
    if (error == EEXIST)
        return QStringLiteral("a file stands where a folder should be");
    switch (failureOf(error)) {
    case FileOpFailure::MissingSource:
        return QStringLiteral("the file or folder does not exist");
    case FileOpFailure::AccessDenied:
        return QStringLiteral("access is denied");
    case FileOpFailure::DiskFull:
        return QStringLiteral("there is not enough space on the disk");
    case FileOpFailure::InUse:
        return QStringLiteral("the file is in use by another program");
    default:
        return systemErrorText(error);
    }
}

} // namespace

FileOpFailure failureOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FileOpFailure::MissingSource;
    case EACCES:
    case EPERM:
    case EROFS:
        return FileOpFailure::AccessDenied;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return FileOpFailure::DiskFull;
    case EWOULDBLOCK:
        return FileOpFailure::InUse;
    default:
        return FileOpFailure::Other;
    }
}

FileOpResult copyFailed(int error, bool onSource, const QString& source, const QString& target)
{
    const QString text =
        onSource ? QStringLiteral("Cannot copy \"%1\": %2.").arg(source, reasonOf(error))
                 : QStringLiteral("Cannot copy \"%1\" to \"%2\": %3.").arg(source, target, reasonOf(error));
    FileOpFailure why = failureOf(error);
    // A folder missing on the target's side is not a missing source.
    if (why == FileOpFailure::MissingSource && !onSource)
        why = FileOpFailure::Other;
    return FileOpResult::failed(why, text);
}

FileOpResult deleteFailed(int error, const QString& path)
{
    return FileOpResult::failed(failureOf(error),
                                QStringLiteral("Cannot delete \"%1\": %2.").arg(path, reasonOf(error)));
}

FileOpResult missing(const QString& path)
{
    return FileOpResult::failed(
        FileOpFailure::MissingSource,
        QStringLiteral("Cannot find \"%1\": the file or folder does not exist.").arg(path));
}

FileOpResult inUse(const QString& path, const QString& action)
{
    return FileOpResult::failed(
        FileOpFailure::InUse,
        QStringLiteral(
            "Cannot %1 \"%2\": the file is in use by another program. Close it there and try again.")
            .arg(action, path));
}

FileOpResult copyCancelled(const QString& current)
{
    return FileOpResult::failed(
        FileOpFailure::Cancelled,
        QStringLiteral("The copy was cancelled: \"%1\" and the files after it were not copied.")
            .arg(current));
}

FileOpResult noTrash(const QString& path, const QString& reason)
{
    return FileOpResult::failed(
        FileOpFailure::NoTrash,
        QStringLiteral("Cannot move \"%1\" to the trash: %2. It was not deleted.").arg(path, reason));
}

FileOpResult invalid(const QString& sentence)
{
    return FileOpResult::failed(FileOpFailure::Invalid, sentence);
}

} // namespace FileOpMessages

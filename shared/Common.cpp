#include "shared/Common.h"

#include "platform/fileop/FileOperation.h"
#include "shared/modFileSys.h"

namespace Common {

bool ShellCopy(IFileOperation& files, const QString& source, const QString& target, int flags)
{
    modFileSys::RequirePath(source);
    modFileSys::RequirePath(target);
    try {
        if (!modFileSys::FileExists(source))
            return false;
        // The outcome is passed on, not just the fact that a copy was asked for: a company must not be
        // recorded with a database file that was never written.
        return files.copy(source, target, flags).ok;
    } catch (const std::exception&) {
        return false;
    }
}

FileOpResult ShellCopyNoCheck(IFileOperation& files, const QString& source, const QString& target, int flags)
{
    modFileSys::RequirePath(source);
    modFileSys::RequirePath(target);
    try {
        return files.copy(source, target, flags);
    } catch (const std::exception& error) {
        return FileOpResult::failed(FileOpFailure::Other, QString::fromLocal8Bit(error.what()));
    }
}

void ShellDelete(IFileOperation& files, const QString& path, bool allowUndo, int flags)
{
    modFileSys::RequirePath(path);
    try {
        files.remove(path, allowUndo ? (flags | Fof::AllowUndo) : flags);
    } catch (const std::exception&) {
    }
}

} // namespace Common

#include "platform/fileop/DeleteJob.h"

#include "base/FileLock.h"
#include "base/PathJoin.h"
#include "platform/ShellPath.h"
#include "platform/fileop/CopyPlan.h"
#include "platform/fileop/FileOpMessages.h"
#include "platform/fileop/FileOperationUi.h"
#include "platform/fileop/TrashCan.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool isFolder(const QString& path)
{
    struct stat st
    {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const QString& path)
{
    struct stat st
    {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Every file the item would take away, links not followed.
void collectFiles(const QString& item, QStringList& files)
{
    if (!isFolder(item)) {
        files.append(item);
        return;
    }
    for (const QString& name : ShellPath::entries(item))
        collectFiles(pathInFolder(item, name), files);
}

// 0, or the errno of the first entry that could not be removed.
int removeTree(const QString& path)
{
    if (isFolder(path)) {
        for (const QString& name : ShellPath::entries(path)) {
            if (const int error = removeTree(pathInFolder(path, name)); error != 0)
                return error;
        }
        return ::rmdir(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
    }
    return ::unlink(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
}

} // namespace

DeleteJob::DeleteJob(IFileOperationUi& ui, int flags) : m_ui(ui), m_flags(flags) {}

FileOpResult DeleteJob::run(const QString& path)
{
    const QString written = QFileInfo(path).absoluteFilePath();
    const QString name = QFileInfo(written).fileName();
    QStringList items;
    QString asked;
    if (ShellPath::isPattern(name)) {
        const QString folder = ShellPath::resolve(QFileInfo(written).path());
        if (!isFolder(folder)) {
            const FileOpResult result = FileOpMessages::missing(folder);
            m_ui.showError(result.error);
            return result;
        }
        for (const QString& entry : ShellPath::matchingEntries(folder, name))
            items.append(pathInFolder(folder, entry));
        asked = pathInFolder(folder, name);
    } else {
        const QString resolved = ShellPath::resolve(written);
        if (!exists(resolved)) {
            const FileOpResult result = FileOpMessages::missing(resolved);
            m_ui.showError(result.error);
            return result;
        }
        items.append(resolved);
        asked = resolved;
    }

    const bool toTrash = (m_flags & Fof::AllowUndo) != 0;
    if ((m_flags & Fof::NoConfirmation) == 0 && !m_ui.askDelete(asked, toTrash))
        return FileOpResult::failed(FileOpFailure::Cancelled, QStringLiteral("The delete was cancelled."));

    for (const QString& item : items) {
        if (!exists(item))
            continue; // a journal that went with its database
        const FileOpResult result = removeItem(item);
        if (!result.ok) {
            m_ui.showError(result.error);
            return result;
        }
    }
    return {};
}

FileOpResult DeleteJob::removeItem(const QString& item)
{
    QStringList parts{item};
    if (!isFolder(item) && exists(CopyPlan::journalOf(item)))
        parts.append(CopyPlan::journalOf(item));

    // Every file is locked before the first one goes, so a file in use leaves the whole item in place.
    QStringList files;
    for (const QString& part : parts)
        collectFiles(part, files);
    std::vector<FileLock> locks(size_t(files.size()));
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (locks[size_t(i)].acquire(files[i], FileLock::Mode::Exclusive) == EWOULDBLOCK)
            return FileOpMessages::inUse(files[i], QStringLiteral("delete"));
    }

    for (const QString& part : parts) {
        if ((m_flags & Fof::AllowUndo) != 0) {
            QString reason;
            if (!TrashCan::moveToTrash(part, &reason))
                return FileOpMessages::noTrash(part, reason);
        } else if (const int error = removeTree(part); error != 0) {
            return FileOpMessages::deleteFailed(error, part);
        }
    }
    return {};
}

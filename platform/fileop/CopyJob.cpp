#include "platform/fileop/CopyJob.h"

#include "base/FileLock.h"
#include "base/SystemError.h"
#include "platform/fileop/FileCopier.h"
#include "platform/fileop/FileOpMessages.h"
#include "platform/fileop/FileOperationUi.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

// The write-ahead log and its index beside a replaced database belong to the old file: played into the
// new one they would put old pages in it, or stop it from opening. Those the source has of its own are
// copied as files of their own and replace them. 0, or the errno of the failed removal (with its path).
int removeStaleLog(const QString& source, const QString& target, QString& failedPath)
{
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        struct stat st
        {};
        if (::lstat(local(source + suffix).constData(), &st) == 0)
            continue;
        if (::unlink(local(target + suffix).constData()) != 0 && errno != ENOENT) {
            failedPath = target + suffix;
            return errno;
        }
    }
    return 0;
}

} // namespace

CopyJob::CopyJob(IFileOperationUi& ui, int flags, qint64 chunkSize)
    : m_ui(ui), m_flags(flags), m_chunkSize(chunkSize)
{}

FileOpResult CopyJob::run(const QString& source, const QString& target)
{
    const CopyPlan plan = CopyPlan::make(source, target);
    FileOpResult result;
    if (!plan.missingSource.isEmpty())
        result = FileOpMessages::missing(plan.missingSource);
    else if (!plan.invalid.isEmpty())
        result = FileOpMessages::invalid(plan.invalid);
    if (!result.ok) {
        m_ui.showError(result.error);
        return result;
    }

    const bool confirmMkdir = (m_flags & (Fof::NoConfirmMkdir | Fof::NoConfirmation)) == 0;
    if (confirmMkdir && !plan.foldersToCreate.isEmpty() && !m_ui.askCreateFolder(plan.foldersToCreate.last()))
        return FileOpResult::failed(FileOpFailure::Cancelled, QStringLiteral("The copy was cancelled."));

    // Every file the copy would replace is checked before the first is written: a copy that stops at a
    // file in use half-way would leave some files replaced and others not.
    result = firstInUse(plan);
    if (!result.ok) {
        m_ui.showError(result.error);
        return result;
    }

    const bool silent = (m_flags & Fof::Silent) != 0;
    m_total = plan.totalBytes;
    if (!silent)
        m_ui.progressStarted(QStringLiteral("Copying"), m_total);

    result = createTargetFolders(plan.foldersToCreate);
    for (const CopyPlan::Item& item : plan.items) {
        if (!result.ok)
            break;
        result = item.folder ? copyFolder(item) : copyFile(item);
    }
    restoreFolderAttributes();
    if (result.ok) {
        if (const int error = m_sync.syncAll(); error != 0)
            result = FileOpMessages::copyFailed(error, false, source, target);
    }

    if (!silent)
        m_ui.progressFinished();
    if (!result.ok)
        m_ui.showError(result.error);
    return result;
}

FileOpResult CopyJob::firstInUse(const CopyPlan& plan)
{
    m_openElsewhere = FileUse::OpenFiles::take();
    for (const CopyPlan::Item& item : plan.items) {
        if (item.folder || !QFileInfo(item.target).isFile())
            continue;
        FileLock probe;
        if (probe.acquireExclusive(item.target, m_openElsewhere) == EWOULDBLOCK)
            return FileOpMessages::inUse(item.target, QStringLiteral("replace"));
    }
    return {};
}

FileOpResult CopyJob::createTargetFolders(const QStringList& folders)
{
    for (const QString& folder : folders) {
        if (::mkdir(local(folder).constData(), 0777) == 0)
            continue;
        const int error = errno;
        if (error == EEXIST && QFileInfo(folder).isDir())
            continue;
        FileOpFailure why = FileOpMessages::failureOf(error);
        if (why == FileOpFailure::MissingSource)
            why = FileOpFailure::Other;
        return FileOpResult::failed(
            why, QStringLiteral("Cannot create the folder \"%1\": %2.")
                     .arg(folder, error == EEXIST ? QStringLiteral("a file stands where a folder should be")
                                                  : systemErrorText(error)));
    }
    return {};
}

FileOpResult CopyJob::copyFolder(const CopyPlan::Item& item)
{
    if (QFileInfo(item.target).isDir())
        return {}; // an existing folder receives the contents; its own mode and times stay
    // Owner-only until its contents are written; the source's mode and times are set afterwards, so that a
    // read-only source folder does not stop its own copy.
    if (::mkdir(local(item.target).constData(), 0700) != 0)
        return FileOpMessages::copyFailed(errno, false, item.source, item.target);
    m_newFolders.append({item.source, item.target});
    return {};
}

FileOpResult CopyJob::copyFile(const CopyPlan::Item& item)
{
    if (!keepGoing(item.source))
        return FileOpMessages::copyCancelled(item.source);

    FileLock targetLock;
    if (QFileInfo::exists(item.target)) {
        if ((m_flags & Fof::NoConfirmation) == 0 && !m_replaceAll) {
            switch (m_ui.askReplace(item.target, item.source)) {
            case ReplaceAnswer::Yes:
                break;
            case ReplaceAnswer::YesToAll:
                m_replaceAll = true;
                break;
            case ReplaceAnswer::No:
                m_done += item.size + item.journalSize;
                return {};
            case ReplaceAnswer::Cancel:
                return FileOpMessages::copyCancelled(item.source);
            }
        }
        // Only a lock held elsewhere stops us; a target we may not even read can still be replaced by rename.
        if (targetLock.acquireExclusive(item.target, m_openElsewhere) == EWOULDBLOCK)
            return FileOpMessages::inUse(item.target, QStringLiteral("replace"));
    }

    // What a copy killed part-way left beside this file goes before the new one is written.
    FileCopier::removeLeftovers(item.target);
    FileCopier data(item.source, item.target, m_chunkSize);
    if (FileOpResult result = copyData(data, item.source, item.target); !result.ok)
        return result;

    const QString targetJournal = CopyPlan::journalOf(item.target);
    // Also when the target itself is gone: a log left alone would still be played into the new file.
    QString failedPath;
    if (const int error = removeStaleLog(item.source, item.target, failedPath); error != 0)
        return FileOpMessages::copyFailed(error, false, item.source, failedPath);
    if (!item.journal.isEmpty()) {
        FileCopier journal(item.journal, targetJournal, m_chunkSize);
        if (FileOpResult result = copyData(journal, item.journal, targetJournal); !result.ok)
            return result;
        if (const FileCopier::Status s = data.commit(); !s.ok())
            return FileOpMessages::copyFailed(s.error, false, item.source, item.target);
        if (const FileCopier::Status s = journal.commit(); !s.ok())
            return FileOpMessages::copyFailed(s.error, false, item.journal, targetJournal);
    } else {
        // The replaced database's journal would otherwise be rolled back into the new file when it opens.
        if (::unlink(local(targetJournal).constData()) != 0 && errno != ENOENT)
            return FileOpMessages::copyFailed(errno, false, item.source, targetJournal);
        if (const FileCopier::Status s = data.commit(); !s.ok())
            return FileOpMessages::copyFailed(s.error, false, item.source, item.target);
    }
    m_sync.add(QFileInfo(item.target).path());
    return {};
}

FileOpResult CopyJob::copyData(FileCopier& copier, const QString& source, const QString& target)
{
    const FileCopier::Status opened = copier.open();
    if (opened.error == EWOULDBLOCK)
        return FileOpMessages::inUse(source, QStringLiteral("copy"));
    if (!opened.ok())
        return FileOpMessages::copyFailed(opened.error, opened.side == FileCopier::Side::Source, source,
                                          target);
    while (!copier.atEnd()) {
        const FileCopier::Status status = copier.step(m_done);
        if (!status.ok())
            return FileOpMessages::copyFailed(status.error, status.side == FileCopier::Side::Source, source,
                                              target);
        if (!keepGoing(source))
            return FileOpMessages::copyCancelled(source);
    }
    return {};
}

bool CopyJob::keepGoing(const QString& current)
{
    if ((m_flags & Fof::Silent) != 0)
        return true;
    m_ui.progressUpdate(current, std::min(m_done, m_total), m_total);
    return !m_ui.cancelRequested();
}

void CopyJob::restoreFolderAttributes()
{
    // Deepest first: setting a parent's times before its children are finished would change them again.
    for (auto it = m_newFolders.crbegin(); it != m_newFolders.crend(); ++it) {
        struct stat st
        {};
        if (::stat(local(it->first).constData(), &st) != 0)
            continue;
        const QByteArray target = local(it->second);
        ::chmod(target.constData(), st.st_mode & 07777);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, target.constData(), times, 0);
    }
}

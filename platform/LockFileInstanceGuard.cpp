#include "platform/LockFileInstanceGuard.h"

#include <QDir>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>

namespace {

bool processIsGone(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

LockFileInstanceGuard::LockFileInstanceGuard(const QString& productName)
    : LockFileInstanceGuard(productName, QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
{}

LockFileInstanceGuard::LockFileInstanceGuard(const QString& productName, const QString& folder)
    : m_path(QDir(folder).filePath(productName + QStringLiteral(".lock"))),
      m_lock(std::make_unique<QLockFile>(m_path))
{
    // Age says nothing about a copy that simply runs for weeks: only a dead holder makes a lock stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return;
    if (m_lock->error() == QLockFile::LockFailedError) {
        // QLockFile already takes over a lock whose holder is gone when it can tell by the process name;
        // a pid that is simply no longer in use is checked here as well.
        qint64 pid = 0;
        QString host;
        QString app;
        if (m_lock->getLockInfo(&pid, &host, &app) && processIsGone(pid) && m_lock->removeStaleLockFile() &&
            m_lock->tryLock(0))
            return;
        m_anotherRunning = m_lock->error() == QLockFile::LockFailedError;
        return;
    }
    // A runtime folder that cannot take the file is no sign of another copy; the program starts
    // rather than refusing to run at all.
    qWarning("Could not create the lock file %s", qPrintable(m_path));
}

LockFileInstanceGuard::~LockFileInstanceGuard() = default;

bool LockFileInstanceGuard::anotherInstanceRunning()
{
    return m_anotherRunning;
}

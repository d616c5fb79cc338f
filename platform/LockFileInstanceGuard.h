#pragma once

#include "platform/InstanceGuard.h"

#include <QLockFile>
#include <QString>
#include <memory>

// The previous-instance test through a lock file "<productName>.lock" in the user's runtime folder
// ($XDG_RUNTIME_DIR). The lock is tried once, when the guard is made, and held as long as the guard
// lives; a lock left behind by a process that has died is taken over.
class LockFileInstanceGuard : public IInstanceGuard
{
public:
    explicit LockFileInstanceGuard(const QString& productName);
    // The same with the lock file in the given folder.
    LockFileInstanceGuard(const QString& productName, const QString& folder);
    ~LockFileInstanceGuard() override;

    bool anotherInstanceRunning() override;
    QString lockFilePath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_anotherRunning = false;
};

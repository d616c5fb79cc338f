#pragma once

#include <QtGlobal>
#include <exception>

// Thrown from IBackupProgress::advance to stop the operation (a person pressed Cancel). The operation
// cleans up as after any failure: nothing of a new backup, nothing of a restore's staged files is left.
class BackupCancelled : public std::exception
{
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Told how far a backup, a check or a restore has come, in bytes of file data. advance may throw
// BackupCancelled.
class IBackupProgress
{
public:
    virtual ~IBackupProgress() = default;
    virtual void begin(qint64 totalBytes) = 0;
    virtual void advance(qint64 doneBytes) = 0;
};

// For callers that show nothing.
class NoBackupProgress final : public IBackupProgress
{
public:
    void begin(qint64) override {}
    void advance(qint64) override {}
};

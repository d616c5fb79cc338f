#pragma once

#include <QtGlobal>

// Told how far a backup, a check or a restore has come, in bytes of file data.
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

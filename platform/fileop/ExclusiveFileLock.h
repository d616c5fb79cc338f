#pragma once

#include <QString>

// An exclusive flock taken without waiting, held until destruction. The database engine holds a shared
// flock on every file it has open, so a file that cannot be locked is in use and must be left alone.
class ExclusiveFileLock
{
public:
    ExclusiveFileLock() = default;
    ~ExclusiveFileLock();
    ExclusiveFileLock(ExclusiveFileLock&& other) noexcept;
    ExclusiveFileLock& operator=(ExclusiveFileLock&& other) noexcept;
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    // 0 when locked; otherwise errno (EWOULDBLOCK: another program holds the file).
    int lock(const QString& path);
    void release();

private:
    int m_fd = -1;
};

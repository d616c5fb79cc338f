#pragma once

#include "base/FileLock.h"
#include "base/UniqueFd.h"

#include <QString>
#include <sys/stat.h>

// Copies one file in chunks, so that the caller can let events run in between. The data goes to a
// temporary file beside the target, which takes the target's name only in commit(), after the source's
// mode and times are set: nothing half-written ever carries the final name. A copier that is not
// committed removes its temporary file.
class FileCopier
{
public:
    // Where a failure happened, so the message can say which file could not be read or written.
    enum class Side
    {
        None,
        Source,
        Target
    };
    struct Status
    {
        int error = 0; // errno
        Side side = Side::None;
        bool ok() const { return error == 0; }
    };

    // Files from this size on go through copy_file_range (no copy through user space, reflinks where the
    // filesystem offers them); smaller ones through read and write.
    static constexpr qint64 kernelCopyThreshold = 1024 * 1024;

    FileCopier(QString source, QString target, qint64 chunkSize);
    ~FileCopier();
    FileCopier(const FileCopier&) = delete;
    FileCopier& operator=(const FileCopier&) = delete;

    // Opens the source (shared lock: a program replacing it holds an exclusive one) and creates the
    // temporary file. EWOULDBLOCK on the source means it is in use.
    Status open();
    // Copies up to one chunk; adds the bytes copied to done.
    Status step(qint64& done);
    bool atEnd() const { return m_copied >= m_size; }
    // Sets mode and times, syncs the data and renames the temporary file over the target.
    Status commit();
    void abort();

    qint64 size() const { return m_size; }

    // Removes the temporary files beside target (".<name>.XXXXXX") that a killed copy left behind. A copy
    // holds an exclusive flock on its temporary file while it writes it, so one still being written by a
    // running copy is left alone.
    static void removeLeftovers(const QString& target);

private:
    Status copyChunkInKernel(qint64 length, qint64& copied);
    Status copyChunkThroughBuffer(qint64 length, qint64& copied);

    QString m_source;
    QString m_target;
    QString m_temporary;
    qint64 m_chunkSize;
    FileLock m_in;
    UniqueFd m_out;
    struct stat m_sourceStat
    {};
    qint64 m_size = 0;
    qint64 m_copied = 0;
    bool m_kernelCopy = false;
};

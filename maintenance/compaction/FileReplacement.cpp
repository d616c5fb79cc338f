#include "maintenance/compaction/FileReplacement.h"

#include "base/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace FileReplacement {

namespace {

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closing reports the last write errors of some filesystems; they count.
    int close()
    {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// 0 or the errno of the sync.
int syncFolder(const QString& folder)
{
    Descriptor fd(::open(local(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

// Ownership and mode of the original, so that the database keeps who may read and write it.
int takeOver(int fd, const struct stat& original)
{
    if (::geteuid() == 0 && ::fchown(fd, original.st_uid, original.st_gid) != 0)
        return errno;
    return ::fchmod(fd, original.st_mode & 07777) == 0 ? 0 : errno;
}

// 0 or the errno of the first failed read or write.
int copyAll(int from, int to)
{
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return errno;
            done += put;
        }
    }
}

} // namespace

QString stagingPath(const QString& original)
{
    return original + QStringLiteral("-compacted");
}

QString replace(const QString& replacement, const QString& original)
{
    auto refuse = [&](const QString& step, int error) -> AppError {
        return AppError(ErrorNumber::Unspecified,
                        QStringLiteral("The compacted copy could not be put in place of '%1' (%2: %3). The "
                                       "database was left as it was.")
                            .arg(original, step, reason(error)));
    };

    struct stat originalStat
    {};
    if (::stat(local(original).constData(), &originalStat) != 0)
        throw refuse(QStringLiteral("reading the original's details"), errno);
    const QString folder = QFileInfo(original).absolutePath();
    const QString replacementFolder = QFileInfo(replacement).absolutePath();

    Descriptor source(::open(local(replacement).constData(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0)
        throw refuse(QStringLiteral("opening the copy"), errno);
    struct stat replacementStat
    {};
    if (::fstat(source.get(), &replacementStat) != 0)
        throw refuse(QStringLiteral("reading the copy's details"), errno);

    QString finished = replacement; // the durable file on the original's filesystem
    const bool sameFilesystem = replacementStat.st_dev == originalStat.st_dev;
    if (sameFilesystem) {
        if (const int error = takeOver(source.get(), originalStat))
            throw refuse(QStringLiteral("giving the copy the original's owner and mode"), error);
        if (::fsync(source.get()) != 0)
            throw refuse(QStringLiteral("writing the copy to the disk"), errno);
    } else {
        finished = stagingPath(original);
        QFile::remove(finished);
        Descriptor staged(::open(local(finished).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (staged.get() < 0)
            throw refuse(QStringLiteral("creating '%1'").arg(finished), errno);
        int error = copyAll(source.get(), staged.get());
        if (error == 0)
            error = takeOver(staged.get(), originalStat);
        if (error == 0 && ::fsync(staged.get()) != 0)
            error = errno;
        if (const int closeError = staged.close(); error == 0)
            error = closeError;
        if (error != 0) {
            QFile::remove(finished);
            throw refuse(QStringLiteral("copying it to '%1'").arg(finished), error);
        }
    }

    // A journal, write-ahead log or its index left beside the original belongs to the old file; played
    // into the new one it would damage it, or stop it from opening. The engine has already rolled back a
    // live journal and folded the log into the original when it read and closed it as its only user.
    for (const QString& suffix :
         {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QString stale = original + suffix;
        if (::unlink(local(stale).constData()) != 0 && errno != ENOENT) {
            const int error = errno;
            if (!sameFilesystem)
                QFile::remove(finished);
            throw refuse(QStringLiteral("removing the old file '%1'").arg(stale), error);
        }
    }
    if (::rename(local(finished).constData(), local(original).constData()) != 0) {
        const int error = errno;
        if (!sameFilesystem)
            QFile::remove(finished);
        throw refuse(QStringLiteral("renaming it"), error);
    }

    int syncError = syncFolder(folder);
    if (!sameFilesystem) {
        QFile::remove(replacement);
    } else if (replacementFolder != folder && syncError == 0) {
        syncError = syncFolder(replacementFolder);
    }
    if (syncError != 0)
        return QStringLiteral(
                   "The compacted database is in place at '%1', but its folder could not be written "
                   "to the disk: %2.")
            .arg(original, reason(syncError));
    return {};
}

} // namespace FileReplacement

#include "maintenance/backup/HashedCopy.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"

#include <QCryptographicHash>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace HashedCopy {

namespace {

constexpr qint64 ChunkSize = 1024 * 1024;

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::PathFileAccessError, text);
}

QString readFailure(const QString& source, int error)
{
    return QStringLiteral("'%1' could not be read: %2.").arg(source, systemErrorText(error));
}

// Reads up to size bytes at the descriptor's position; 0 at the end, -1 with errno on failure.
ssize_t readSome(int fd, char* buffer, size_t size)
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// Writes all of it; 0, or the errno of the failure.
int writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return errno;
        if (put == 0)
            return ENOSPC;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return 0;
}

// Removes the target unless released: a copy cut short leaves nothing behind.
class NewFile
{
public:
    explicit NewFile(QString path) : m_path(std::move(path)) {}
    ~NewFile()
    {
        if (!m_kept)
            ::unlink(QFile::encodeName(m_path).constData());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

} // namespace

QString writeFailure(const QString& target, int error)
{
    if (error == ENOSPC || error == EFBIG || error == EDQUOT)
        return QStringLiteral("'%1' could not be written: the disk is full (%2).")
            .arg(target, systemErrorText(error));
    return QStringLiteral("'%1' could not be written: %2.").arg(target, systemErrorText(error));
}

QByteArray copy(int sourceFd, const QString& sourcePath, const QString& target, const Progress& progress)
{
    const QByteArray targetName = QFile::encodeName(target);
    UniqueFd out(::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out)
        fail(writeFailure(target, errno));
    NewFile cleanup(target);
    if (::lseek(sourceFd, 0, SEEK_SET) < 0)
        fail(readFailure(sourcePath, errno));

    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(ChunkSize);
    qint64 written = 0;
    for (;;) {
        const ssize_t got = readSome(sourceFd, buffer.data(), buffer.size());
        if (got < 0)
            fail(readFailure(sourcePath, errno));
        if (got == 0)
            break;
        hash.addData(QByteArrayView(buffer.data(), got));
        if (const int error = writeAll(out.get(), buffer.data(), static_cast<size_t>(got)); error != 0)
            fail(writeFailure(target, error));
        written += got;
        if (progress)
            progress(written);
    }
    if (::fsync(out.get()) != 0)
        fail(writeFailure(target, errno));
    // A file server may report a lost write only when the file is closed.
    if (::close(out.release()) != 0)
        fail(writeFailure(target, errno));
    cleanup.keep();
    return hash.result().toHex();
}

QByteArray digestOf(const QString& path)
{
    const UniqueFd in(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!in)
        fail(readFailure(path, errno));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(ChunkSize);
    for (;;) {
        const ssize_t got = readSome(in.get(), buffer.data(), buffer.size());
        if (got < 0)
            fail(readFailure(path, errno));
        if (got == 0)
            break;
        hash.addData(QByteArrayView(buffer.data(), got));
    }
    return hash.result().toHex();
}

} // namespace HashedCopy

#include "maintenance/jetimport/FileCopy.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qsizetype ChunkSize = 1 << 20;

AppError copyFailure(const QString& source, const QString& target, int error)
{
    return AppError(
        ErrorNumber::Unspecified,
        QStringLiteral("Copying '%1' to '%2' failed: %3.").arg(source, target, systemErrorText(error)));
}

void writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw errno;
        }
        data += written;
        size -= written;
    }
}

} // namespace

void copyFileExactly(const QString& source, const QString& target, mode_t mode, const timespec& modified)
{
    const QByteArray targetName = QFile::encodeName(target);
    const UniqueFd in(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    if (!in)
        throw copyFailure(source, target, errno);
    UniqueFd out(::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out)
        throw copyFailure(source, target, errno);
    try {
        QByteArray buffer(ChunkSize, Qt::Uninitialized);
        for (;;) {
            const ssize_t got = ::read(in.get(), buffer.data(), static_cast<size_t>(buffer.size()));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw errno;
            }
            if (got == 0)
                break;
            writeAll(out.get(), buffer.constData(), got);
        }
        const timespec times[2] = {{0, UTIME_OMIT}, modified};
        if (::fchmod(out.get(), mode) != 0 || ::futimens(out.get(), times) != 0)
            throw errno;
        if (::close(out.release()) != 0)
            throw errno;
    } catch (int error) {
        out.reset();
        ::unlink(targetName.constData());
        throw copyFailure(source, target, error);
    }
}

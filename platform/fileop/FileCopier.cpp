#include "platform/fileop/FileCopier.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

FileCopier::Status fail(FileCopier::Side side, int error = errno)
{
    return {error, side};
}

} // namespace

FileCopier::FileCopier(QString source, QString target, qint64 chunkSize)
    : m_source(std::move(source)), m_target(std::move(target)), m_chunkSize(std::max<qint64>(chunkSize, 4096))
{}

FileCopier::~FileCopier()
{
    abort();
}

FileCopier::Status FileCopier::open()
{
    if (const int error = m_in.acquire(m_source, FileLock::Mode::Shared); error != 0)
        return fail(Side::Source, error);
    if (::fstat(m_in.fd(), &m_sourceStat) != 0)
        return fail(Side::Source);
    if (!S_ISREG(m_sourceStat.st_mode)) // a device or a pipe has no end to copy up to
        return fail(Side::Source, EINVAL);
    m_size = m_sourceStat.st_size;
    m_kernelCopy = m_size >= kernelCopyThreshold;

    // Hidden, beside the target so that the final rename stays on one filesystem.
    const QFileInfo target(m_target);
    QByteArray pattern = QFile::encodeName(target.path() + QStringLiteral("/.") + target.fileName() +
                                           QStringLiteral(".XXXXXX"));
    m_out.reset(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!m_out.valid())
        return fail(Side::Target);
    m_temporary = QFile::decodeName(pattern);
    // Marks it as being written, so that removeLeftovers of another copy passes it by.
    ::flock(m_out.get(), LOCK_EX | LOCK_NB);
    return {};
}

FileCopier::Status FileCopier::step(qint64& done)
{
    qint64 length = std::min(m_chunkSize, m_size - m_copied);
    if (length <= 0)
        return {};
    // A hole in the source stays a hole in the copy: it is passed over on both sides (commit gives the
    // copy its whole length), and a chunk ends where the next hole starts. A filesystem that cannot tell
    // holes from data gives EINVAL, and everything is data.
    const off_t data = ::lseek(m_in.fd(), off_t(m_copied), SEEK_DATA);
    if (data < 0 && errno != ENXIO && errno != EINVAL)
        return fail(Side::Source);
    if (data < 0 && errno == ENXIO) { // nothing but a hole up to the end
        done += m_size - m_copied;
        m_copied = m_size;
        return {};
    }
    if (data > m_copied) {
        const qint64 skipped = std::min<qint64>(data, m_size) - m_copied;
        m_copied += skipped;
        done += skipped;
        if (::lseek(m_out.get(), off_t(m_copied), SEEK_SET) < 0)
            return fail(Side::Target);
        return {};
    }
    if (data == m_copied) {
        const off_t hole = ::lseek(m_in.fd(), off_t(m_copied), SEEK_HOLE);
        if (hole > m_copied)
            length = std::min<qint64>(length, hole - m_copied);
    }
    if (::lseek(m_in.fd(), off_t(m_copied), SEEK_SET) < 0)
        return fail(Side::Source);
    if (::lseek(m_out.get(), off_t(m_copied), SEEK_SET) < 0)
        return fail(Side::Target);
    qint64 copied = 0;
    Status status = m_kernelCopy ? copyChunkInKernel(length, copied) : copyChunkThroughBuffer(length, copied);
    m_copied += copied;
    done += copied;
    return status;
}

FileCopier::Status FileCopier::copyChunkInKernel(qint64 length, qint64& copied)
{
    while (copied < length) {
        const ssize_t n =
            ::copy_file_range(m_in.fd(), nullptr, m_out.get(), nullptr, size_t(length - copied), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // Not offered between these two filesystems: the plain way works everywhere.
            if ((errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) &&
                m_copied == 0 && copied == 0) {
                m_kernelCopy = false;
                return copyChunkThroughBuffer(length, copied);
            }
            return fail(Side::Target);
        }
        if (n == 0) // the source shrank under us
            return fail(Side::Source, EIO);
        copied += n;
    }
    return {};
}

FileCopier::Status FileCopier::copyChunkThroughBuffer(qint64 length, qint64& copied)
{
    std::vector<char> buffer(size_t(std::min<qint64>(length, 1024 * 1024)));
    while (copied < length) {
        const ssize_t got = ::read(m_in.fd(), buffer.data(),
                                   size_t(std::min<qint64>(qint64(buffer.size()), length - copied)));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(Side::Source);
        }
        if (got == 0)
            return fail(Side::Source, EIO);
        ssize_t written = 0;
        while (written < got) {
            const ssize_t n = ::write(m_out.get(), buffer.data() + written, size_t(got - written));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return fail(Side::Target);
            }
            written += n;
        }
        copied += got;
    }
    return {};
}

FileCopier::Status FileCopier::commit()
{
    // A hole at the end was only passed over; the copy takes the source's whole length.
    if (::ftruncate(m_out.get(), off_t(m_size)) != 0)
        return fail(Side::Target);
    if (::fchmod(m_out.get(), m_sourceStat.st_mode & 07777) != 0)
        return fail(Side::Target);
    const timespec times[2] = {m_sourceStat.st_atim, m_sourceStat.st_mtim};
    if (::futimens(m_out.get(), times) != 0)
        return fail(Side::Target);
    // The data reaches the disk before the name does: a rename kept by the disk ahead of the data would
    // leave a short or empty file under the target's name after a power cut.
    if (::fsync(m_out.get()) != 0)
        return fail(Side::Target);
    const int out = m_out.release();
    // close reports late write errors (a full disk on a network filesystem).
    if (::close(out) != 0)
        return fail(Side::Target);
    if (::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0)
        return fail(Side::Target);
    m_temporary.clear();
    m_in.release();
    return {};
}

void FileCopier::abort()
{
    m_out.reset();
    if (!m_temporary.isEmpty())
        ::unlink(QFile::encodeName(m_temporary).constData());
    m_temporary.clear();
    m_in.release();
}

void FileCopier::removeLeftovers(const QString& target)
{
    const QFileInfo info(target);
    const QByteArray prefix = QFile::encodeName(QStringLiteral(".") + info.fileName() + QStringLiteral("."));
    const QByteArray folder = QFile::encodeName(info.path());
    const std::unique_ptr<DIR, int (*)(DIR*)> entries(::opendir(folder.constData()), &::closedir);
    if (!entries)
        return;
    auto isMkstempSuffix = [](const char* suffix) {
        for (int i = 0; i < 6; ++i) {
            const char c = suffix[i];
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                return false;
        }
        return suffix[6] == '\0';
    };
    while (const dirent* entry = ::readdir(entries.get())) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(prefix) || name.size() != prefix.size() + 6 ||
            !isMkstempSuffix(entry->d_name + prefix.size()))
            continue;
        const UniqueFd leftover(::openat(::dirfd(entries.get()), entry->d_name,
                                         O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        struct stat st
        {};
        if (!leftover || ::fstat(leftover.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            ::flock(leftover.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        ::unlinkat(::dirfd(entries.get()), entry->d_name, 0);
    }
}

#include "engine/DataLinkFile.h"

#include "base/AppError.h"
#include "base/SystemError.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void badFile(const QString& path, const QString& what)
{
    throw AppError(ErrorNumber::Unspecified, QStringLiteral("The data-link file %1 %2").arg(path, what));
}

QByteArray utf16Line(const QString& line)
{
    const QString withEnd = line + QStringLiteral("\r\n");
    QByteArray bytes;
    bytes.reserve(withEnd.size() * 2);
    for (const QChar c : withEnd) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

// A data-link file that is a symbolic link is written through: the link stays, its target is replaced.
QString resolvedTarget(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        if (!target.isEmpty())
            return target;
    }
    return fileName;
}

[[noreturn]] void writeFailed(const QString& fileName, const QString& why)
{
    throw AppError(ErrorNumber::Unspecified,
                   QStringLiteral("The data-link file %1 could not be written: %2.").arg(fileName, why));
}

// A real data-link file holds three short lines; anything this large is not one, and reading on would
// only fill the memory (a device has no end at all).
constexpr qint64 MaxDataLinkBytes = 64 * 1024;

// Only a regular file is read: opening a FIFO would wait for a writer for ever, and a device never ends.
QByteArray readBytes(const QString& path)
{
    const QByteArray local = QFile::encodeName(path);
    const int fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            badFile(path, QStringLiteral("does not exist."));
        if (error == ENOTDIR)
            badFile(path, QStringLiteral("does not exist: a part of its path is a file, not a folder."));
        badFile(path, QStringLiteral("could not be read: %1.").arg(systemErrorText(error)));
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st
    {};
    if (::fstat(fd, &st) != 0)
        badFile(path, QStringLiteral("could not be read: %1.").arg(systemErrorText(errno)));
    if (S_ISDIR(st.st_mode))
        badFile(path, QStringLiteral("is a folder, not a file."));
    if (!S_ISREG(st.st_mode))
        badFile(path, QStringLiteral("is not a regular file (it is a device, a pipe or a socket)."));
    if (st.st_size > MaxDataLinkBytes)
        badFile(path, QStringLiteral("is too large to be a data-link file (%1 bytes; at most %2).")
                          .arg(st.st_size)
                          .arg(MaxDataLinkBytes));
    QByteArray bytes(MaxDataLinkBytes + 1, Qt::Uninitialized);
    qint64 got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            badFile(path, QStringLiteral("could not be read: %1.").arg(systemErrorText(errno)));
        if (n == 0)
            break;
        got += n;
    }
    if (got > MaxDataLinkBytes) // it grew while it was read
        badFile(
            path,
            QStringLiteral("is too large to be a data-link file (at most %1 bytes).").arg(MaxDataLinkBytes));
    bytes.truncate(got);
    return bytes;
}

QString connectionStringIn(const QString& path, const QByteArray& bytes)
{
    if (bytes.isEmpty())
        badFile(path, QStringLiteral("is empty."));
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE)
        badFile(path, QStringLiteral("is not a UTF-16 text file (it lacks the byte-order mark FF FE)."));
    if (bytes.size() % 2 != 0)
        badFile(path, QStringLiteral("is damaged: it has an odd number of bytes, so it is not UTF-16 text."));

    QString text;
    text.reserve((bytes.size() - 2) / 2);
    for (qsizetype i = 2; i < bytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = static_cast<unsigned char>(bytes[i + 1]);
        text += QChar(static_cast<char16_t>(low | (high << 8)));
    }

    // Lines end with CR LF; a bare LF (a file edited by hand) is taken as well.
    const QStringList lines = text.split(QLatin1Char('\n'));
    bool sawHeader = false;
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (!sawHeader) {
            if (line.trimmed().compare(QLatin1String("[oledb]"), Qt::CaseInsensitive) != 0)
                badFile(path, QStringLiteral("does not start with the line [oledb]."));
            sawHeader = true;
            continue;
        }
        if (line.trimmed().startsWith(QLatin1Char(';')))
            continue;
        return line.trimmed();
    }
    if (!sawHeader)
        badFile(path, QStringLiteral("holds no text: it lacks the line [oledb]."));
    badFile(path, QStringLiteral("holds no connection string after the line [oledb]."));
}

} // namespace

namespace DataLinkFile {

void write(const QString& path, const QString& connectionString)
{
    // The file is read line by line: a line break would cut the connection string, and the next start
    // would open whatever its first half names.
    if (connectionString.contains(QLatin1Char('\n')) || connectionString.contains(QLatin1Char('\r')))
        writeFailed(path, QStringLiteral("the connection string holds a line break"));
    QByteArray content("\xFF\xFE", 2);
    content += utf16Line(QStringLiteral("[oledb]"));
    content += utf16Line(QStringLiteral("; Everything after this line is an OLE DB initstring"));
    content += utf16Line(connectionString);

    // Written beside the target and renamed over it, so that a failure leaves the old file whole.
    const QString target = resolvedTarget(path);
    const QFileInfo targetInfo(target);
    // Only a regular file is replaced: renaming over a device or a pipe that a link points at would put
    // a data-link file in its place.
    if (targetInfo.exists() && !targetInfo.isFile())
        writeFailed(path, target == path
                              ? QStringLiteral("it is not a regular file")
                              : QStringLiteral("it points at %1, which is not a regular file").arg(target));
    QTemporaryFile temp(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open())
        writeFailed(path, temp.errorString());
    if (targetInfo.exists())
        temp.setPermissions(QFile(target).permissions());
    else
        temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther);
    if (temp.write(content) != content.size() || !temp.flush())
        writeFailed(path, temp.errorString());
    if (::fsync(temp.handle()) != 0)
        writeFailed(path, systemErrorText(errno));
    const QByteArray from = QFile::encodeName(temp.fileName());
    const QByteArray to = QFile::encodeName(target);
    if (std::rename(from.constData(), to.constData()) != 0)
        writeFailed(path, systemErrorText(errno));
    temp.setAutoRemove(false);
}

QString readConnectionString(const QString& path)
{
    try {
        return connectionStringIn(path, readBytes(path));
    } catch (const std::bad_alloc&) {
        throw AppError(ErrorNumber::OutOfMemory,
                       QStringLiteral("Out of memory while reading the data-link file %1.").arg(path));
    }
}

} // namespace DataLinkFile

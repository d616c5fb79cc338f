#include "maintenance/backup/Manifest.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"
#include "maintenance/backup/FolderPaths.h"
#include "maintenance/backup/HashedCopy.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Manifest {

namespace {

constexpr int DigestLength = 64;

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::PathFileAccessError, text);
}

bool isHexDigest(const QByteArray& digest)
{
    if (digest.size() != DigestLength)
        return false;
    for (const char c : digest) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

QByteArray escaped(const QByteArray& name)
{
    QByteArray out;
    for (const char c : name) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// Undoes escaped(); false on an escape sha256sum does not write.
bool unescape(const QByteArray& name, QByteArray& out)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            out += name[i];
            continue;
        }
        if (++i >= name.size())
            return false;
        if (name[i] == '\\')
            out += '\\';
        else if (name[i] == 'n')
            out += '\n';
        else
            return false;
    }
    return true;
}

} // namespace

QString pathFor(const QString& backupFolder)
{
    QString folder = backupFolder;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QStringLiteral(".sha256");
}

QByteArray format(const QList<Entry>& entries)
{
    QByteArray text;
    for (const Entry& entry : entries) {
        const QByteArray name = QFile::encodeName(entry.path);
        const bool needsEscape = name.contains('\\') || name.contains('\n');
        if (needsEscape)
            text += '\\';
        text += entry.digest + "  " + (needsEscape ? escaped(name) : name) + '\n';
    }
    return text;
}

QList<Entry> parse(const QByteArray& text, const QString& manifestPath)
{
    QList<Entry> entries;
    int lineNumber = 0;
    for (QByteArray line : text.split('\n')) {
        ++lineNumber;
        if (line.isEmpty())
            continue;
        const bool escapedLine = line.startsWith('\\');
        if (escapedLine)
            line.remove(0, 1);
        const QByteArray digest = line.left(DigestLength);
        const QByteArray rest = line.mid(DigestLength);
        QByteArray name;
        const bool nameRead = rest.startsWith("  ") && rest.size() > 2 &&
                              (escapedLine ? unescape(rest.mid(2), name) : (name = rest.mid(2), true));
        if (!isHexDigest(digest) || !nameRead)
            fail(QStringLiteral("'%1' is not a checksum list: line %2 cannot be read.")
                     .arg(manifestPath)
                     .arg(lineNumber));
        entries.append({QFile::decodeName(name), digest});
    }
    return entries;
}

void write(const QString& path, const QList<Entry>& entries)
{
    const QByteArray text = format(entries);
    const QString temporary =
        QFileInfo(path).path() + QStringLiteral("/.") + QFileInfo(path).fileName() + QStringLiteral(".new");
    const QByteArray temporaryName = QFile::encodeName(temporary);
    const QByteArray finalName = QFile::encodeName(path);
    auto failWith = [&](const QByteArray& leftover, int error) {
        ::unlink(leftover.constData());
        fail(HashedCopy::writeFailure(path, error));
    };
    ::unlink(temporaryName.constData());
    UniqueFd out(::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!out)
        fail(HashedCopy::writeFailure(path, errno));
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(out.get(), text.constData() + done, size_t(text.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            failWith(temporaryName, put == 0 ? ENOSPC : errno);
        done += put;
    }
    if (::fsync(out.get()) != 0)
        failWith(temporaryName, errno);
    // Some filesystems report a write that did not reach the disk only when the file is closed.
    if (::close(out.release()) != 0)
        failWith(temporaryName, errno);
    if (::rename(temporaryName.constData(), finalName.constData()) != 0)
        failWith(temporaryName, errno);
    // The new name is on the disk only once its folder is: until then a crash could lose the manifest
    // of a backup reported as made.
    if (const int error = FolderPaths::syncFolder(QFileInfo(path).path()); error != 0)
        failWith(finalName, error);
}

QList<Entry> read(const QString& path)
{
    QFile file(path);
    if (!QFileInfo::exists(path))
        fail(QStringLiteral("'%1' is missing: without its checksum list the backup cannot be checked.")
                 .arg(path));
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("'%1' could not be read: %2.").arg(path, file.errorString()));
    return parse(file.readAll(), path);
}

} // namespace Manifest

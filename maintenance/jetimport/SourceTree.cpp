#include "maintenance/jetimport/SourceTree.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"
#include "maintenance/jetimport/JetDatabase.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace JetImport {

namespace {

AppError refused(const QString& path, const QString& cause)
{
    return AppError(ErrorNumber::Unspecified,
                    QStringLiteral("The folder cannot be imported: '%1' %2.").arg(path, cause));
}

struct CloseDir
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

QString specialKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("is a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("is a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("is a device");
    return QStringLiteral("is no file or folder");
}

class Walk
{
public:
    QVector<SourceEntry> entries;

    void folder(const QString& path, const QString& relative, const struct stat& status)
    {
        const auto identity = qMakePair(quint64(status.st_dev), quint64(status.st_ino));
        if (m_chain.contains(identity))
            throw refused(path, QStringLiteral("leads back into a folder it lies in (a loop of links)"));
        m_chain.insert(identity);
        const std::unique_ptr<DIR, CloseDir> dir(::opendir(QFile::encodeName(path).constData()));
        if (!dir)
            throw refused(path, QStringLiteral("cannot be read: %1").arg(systemErrorText(errno)));
        QStringList names;
        errno = 0;
        while (const dirent* entry = ::readdir(dir.get())) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(QFile::decodeName(name));
        }
        if (errno != 0)
            throw refused(path, QStringLiteral("cannot be read: %1").arg(systemErrorText(errno)));
        names.sort();
        for (const QString& name : names)
            child(pathInFolder(path, name), relative.isEmpty() ? name : relative + QLatin1Char('/') + name);
        m_chain.remove(identity);
    }

private:
    QSet<QPair<quint64, quint64>> m_chain; // the folders from the root down to the one being read

    void child(const QString& path, const QString& relative)
    {
        const QByteArray encoded = QFile::encodeName(path);
        struct stat status
        {};
        if (::stat(encoded.constData(), &status) != 0) {
            const int error = errno;
            struct stat link
            {};
            if (::lstat(encoded.constData(), &link) == 0 && S_ISLNK(link.st_mode))
                throw refused(path, error == ELOOP ? QStringLiteral("is a link in a loop of links")
                                                   : QStringLiteral("is a link that leads nowhere"));
            throw refused(path, QStringLiteral("cannot be read: %1").arg(systemErrorText(error)));
        }
        SourceEntry entry;
        entry.relative = relative;
        entry.path = path;
        entry.mode = status.st_mode & 07777;
        entry.modified = status.st_mtim;
        if (S_ISDIR(status.st_mode)) {
            entry.kind = SourceEntry::Kind::Folder;
            entries.append(entry);
            folder(path, relative, status);
            return;
        }
        if (!S_ISREG(status.st_mode))
            throw refused(path, specialKind(status.st_mode) +
                                    QStringLiteral("; only files and folders are imported"));
        const UniqueFd fd(::open(encoded.constData(), O_RDONLY | O_CLOEXEC));
        if (!fd)
            throw refused(path, QStringLiteral("cannot be read: %1").arg(systemErrorText(errno)));
        QByteArray header(JetDatabase::HeaderSize, '\0');
        const ssize_t got = ::read(fd.get(), header.data(), static_cast<size_t>(header.size()));
        if (got < 0)
            throw refused(path, QStringLiteral("cannot be read: %1").arg(systemErrorText(errno)));
        header.truncate(static_cast<qsizetype>(got));
        entry.kind =
            JetDatabase::hasJetHeader(header) ? SourceEntry::Kind::JetDatabase : SourceEntry::Kind::File;
        entries.append(entry);
    }
};

} // namespace

QVector<SourceEntry> scanSource(const QString& root)
{
    struct stat status
    {};
    if (::stat(QFile::encodeName(root).constData(), &status) != 0)
        throw AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("The folder '%1' cannot be imported: %2.").arg(root, systemErrorText(errno)));
    if (!S_ISDIR(status.st_mode))
        throw AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("'%1' is no folder and no Jet database; there is nothing to import.").arg(root));
    Walk walk;
    walk.folder(root, QString(), status);
    return walk.entries;
}

} // namespace JetImport

#include "maintenance/backup/HeldSource.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "engine/IntegrityCheck.h"
#include "maintenance/backup/BackupContents.h"
#include "maintenance/backup/FolderPaths.h"
#include "maintenance/backup/HashedCopy.h"
#include "maintenance/backup/Manifest.h"
#include "shared/AppFolder.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>

namespace {

QStringList databasesOf(const QString& appFolder)
{
    QStringList found;
    if (QFileInfo(appFolder + QLatin1Char('/') + AppFolder::MasterDatabaseName).isFile())
        found.append(AppFolder::MasterDatabaseName);
    const QString companies = appFolder + QLatin1Char('/') + AppFolder::CompanyDataFolderName;
    QDirIterator it(companies, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (BackupContents::isDatabaseName(it.fileName()) && !it.fileInfo().isSymLink())
            found.append(QDir(appFolder).relativeFilePath(path));
    }
    return found;
}

} // namespace

HeldSource::HeldSource(QString appFolder) : m_appFolder(FolderPaths::withoutTrailingSlash(appFolder))
{
    for (const QString& relative : databasesOf(m_appFolder)) {
        auto held = std::make_shared<Held>();
        held->relative = relative;
        const QString path = m_appFolder + QLatin1Char('/') + relative;
        held->fd.reset(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
        if (!held->fd)
            throw AppError(ErrorNumber::PathFileAccessError,
                           QStringLiteral("'%1' could not be read: %2.").arg(path, systemErrorText(errno)));
        if (const int error = held->lock.acquire(held->fd.get()); error != 0)
            throw AppError(ErrorNumber::PathFileAccessError,
                           QStringLiteral("'%1' could not be locked for reading: %2.")
                               .arg(path, systemErrorText(error)));
        m_held.append(held);
    }
}

HeldSource::~HeldSource() = default;

QString HeldSource::verifyCopy(const QString& targetFolder, const QString& password) const
{
    const QString target = FolderPaths::withoutTrailingSlash(targetFolder);
    try {
        for (const auto& held : m_held) {
            const QString copiedJournal =
                BackupContents::journalOf(target + QLatin1Char('/') + held->relative);
            if (QFileInfo::exists(copiedJournal) && held->lock.writerActive())
                QFile::remove(copiedJournal);
        }
        const BackupContents::Listing copied = BackupContents::listAll(target);
        QList<Manifest::Entry> entries;
        const QString name = QFileInfo(target).fileName();
        for (const BackupContents::File& file : copied.files) {
            const QString path = target + QLatin1Char('/') + file.relative;
            const QString source = m_appFolder + QLatin1Char('/') + file.relative;
            const QByteArray digest = HashedCopy::digestOf(path);
            if (QFileInfo(source).isFile() && HashedCopy::digestOf(source) != digest)
                return QStringLiteral("'%1' does not match '%2', the file it was copied from.")
                    .arg(path, source);
            if (file.database) {
                if (const QString problem = IntegrityCheck::problemsOf(path, password); !problem.isEmpty())
                    return problem;
            }
            entries.append({name + QLatin1Char('/') + file.relative, digest});
        }
        Manifest::write(Manifest::pathFor(target), entries);
    } catch (const AppError& error) {
        return error.description();
    }
    return {};
}

#include "engine/DatabaseFile.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "engine/Sqlite.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace DatabaseFile {

void create(const QString& path, const QString& password)
{
    const QByteArray localPath = QFile::encodeName(path);
    // O_EXCL makes "refuse an existing path" hold even against another program creating it meanwhile;
    // SQLite takes an empty file as an empty database.
    const int fd = ::open(localPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            throw AppError(
                ErrorNumber::Unspecified,
                QStringLiteral("The database '%1' cannot be created: a file or folder of that name exists "
                               "already.")
                    .arg(path));
        throw AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("The database '%1' could not be created: %2.").arg(path, systemErrorText(error)));
    }
    ::close(fd);

    sqlite3* db = nullptr;
    try {
        const int rc = sqlite3_open_v2(localPath.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        if (rc != SQLITE_OK)
            throw Sqlite::errorFor(db, rc, path, QString());
        if (!password.isEmpty()) {
            const QByteArray key = password.toUtf8();
            sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
        }
        // SQLite writes the header (and so the key's salt) only with the first change; a table made and
        // dropped leaves a valid file that holds no table.
        Sqlite::exec(
            db, QStringLiteral("CREATE TABLE companydesk_new_file (x); DROP TABLE companydesk_new_file;"),
            path);
        if (sqlite3_close(db) != SQLITE_OK)
            throw Sqlite::errorFor(db, SQLITE_ERROR, path, QString());
    } catch (...) {
        sqlite3_close_v2(db);
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        throw;
    }
}

bool isUnprotected(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

} // namespace DatabaseFile

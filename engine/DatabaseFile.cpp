#include "engine/DatabaseFile.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"
#include "engine/Sqlite.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>

namespace DatabaseFile {

namespace {

const QByteArray UnprotectedHeader("SQLite format 3\0", HeaderSize);

// O_EXCL makes "refuse an existing path" hold even against another program creating it meanwhile;
// SQLite takes an empty file as an empty database.
void createEmptyFile(const QString& path)
{
    const UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd)
        return;
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

void writeFirstPage(const QString& path, const QString& password)
{
    sqlite3* opened = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &opened, SQLITE_OPEN_READWRITE, nullptr);
    Sqlite::Database db(opened);
    if (rc != SQLITE_OK)
        throw Sqlite::errorFor(db.get(), rc, path, QString());
    if (!password.isEmpty()) {
        const QByteArray key = password.toUtf8();
        sqlite3_key(db.get(), key.constData(), static_cast<int>(key.size()));
    }
    // SQLite writes the header (and so the key's salt) only with the first change; a table made and
    // dropped leaves a valid file that holds no table.
    Sqlite::exec(db.get(),
                 QStringLiteral("CREATE TABLE companydesk_new_file (x); DROP TABLE companydesk_new_file;"),
                 path);
    // Closed here rather than by the owner, so that a failure to finish the file is reported.
    if (sqlite3_close(db.get()) != SQLITE_OK)
        throw Sqlite::errorFor(db.get(), SQLITE_ERROR, path, QString());
    static_cast<void>(db.release());
}

} // namespace

void create(const QString& path, const QString& password)
{
    createEmptyFile(path);
    try {
        writeFirstPage(path, password);
    } catch (...) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        throw;
    }
}

bool hasJetHeader(const QByteArray& firstBytes)
{
    static const QByteArray prefix("\x00\x01\x00\x00", 4);
    return firstBytes.size() >= JetHeaderSize && firstBytes.startsWith(prefix) &&
           (firstBytes.mid(4, 16) == QByteArray("Standard Jet DB\0", 16) ||
            firstBytes.mid(4, 16) == QByteArray("Standard ACE DB\0", 16));
}

bool hasUnprotectedHeader(const QByteArray& firstBytes)
{
    return firstBytes.startsWith(UnprotectedHeader);
}

bool isUnprotected(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return hasUnprotectedHeader(file.read(HeaderSize));
}

} // namespace DatabaseFile

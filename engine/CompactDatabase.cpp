#include "engine/CompactDatabase.h"

#include "base/AppError.h"
#include "engine/ConnectionTarget.h"
#include "engine/DatabaseFile.h"
#include "engine/Sqlite.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString CopySchema = QStringLiteral("compacted");

[[noreturn]] void fail(const QString& description)
{
    throw AppError(ErrorNumber::Unspecified, description);
}

QString journalOf(const QString& path)
{
    return path + QStringLiteral("-journal");
}

// The target file, made empty with O_EXCL so that an existing file is never overwritten, even one
// another program creates meanwhile. Removed again, with its journal, unless the copy is kept.
class NewTargetFile
{
public:
    explicit NewTargetFile(const QString& path) : m_path(path)
    {
        const QByteArray local = QFile::encodeName(path);
        // A journal without its database is left from a copy that was cut short; beside the new file it
        // would be taken as the new file's own and played back into it.
        if (!QFileInfo::exists(path) && QFileInfo::exists(journalOf(path)) && !QFile::remove(journalOf(path)))
            fail(QStringLiteral("The compacted copy cannot be written to '%1': the stale journal '%2' "
                                "could not be removed.")
                     .arg(path, journalOf(path)));
        const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            if (error == EEXIST)
                fail(
                    QStringLiteral("The compacted copy cannot be written to '%1': a file of that name exists "
                                   "already.")
                        .arg(path));
            fail(QStringLiteral("The compacted copy '%1' could not be created: %2.")
                     .arg(path, QString::fromLocal8Bit(std::strerror(error))));
        }
        ::close(fd);
    }
    ~NewTargetFile()
    {
        if (m_keep)
            return;
        QFile::remove(m_path);
        QFile::remove(journalOf(m_path));
    }
    NewTargetFile(const NewTargetFile&) = delete;
    NewTargetFile& operator=(const NewTargetFile&) = delete;

    void keep() { m_keep = true; }

private:
    QString m_path;
    bool m_keep = false;
};

qint64 pragmaValue(sqlite3* db, const QString& pragma, const QString& path)
{
    Sqlite::Statement statement(db, QStringLiteral("PRAGMA main.%1").arg(pragma), path);
    return statement.step() ? statement.column(0).toLongLong() : 0;
}

void copyPragma(sqlite3* db, const QString& pragma, const QString& path)
{
    // Pragmas take no bound values; the value is a number read from the source.
    Sqlite::exec(
        db, QStringLiteral("PRAGMA %1.%2 = %3").arg(CopySchema, pragma).arg(pragmaValue(db, pragma, path)),
        path);
}

} // namespace

DatabaseCensus CompactDatabase(const QString& sourceConnectionString, const QString& targetConnectionString,
                               Connection::LockOwner sourceLock)
{
    const ConnectionTarget source = ConnectionTarget::of(sourceConnectionString);
    const ConnectionTarget target = ConnectionTarget::of(targetConnectionString);
    const QFileInfo sourceInfo(source.path);
    if (sourceInfo.exists() && QFileInfo(target.path).exists() &&
        sourceInfo.canonicalFilePath() == QFileInfo(target.path).canonicalFilePath())
        fail(QStringLiteral("The database '%1' cannot be compacted onto itself; the copy needs a file of "
                            "its own.")
                 .arg(source.path));

    Connection connection;
    connection.setLockOwner(sourceLock);
    connection.open(sourceConnectionString);
    sqlite3* db = connection.handle();
    const QString& path = source.path;
    // SQLite opens an attached file with the flags of the main one: through a read-only source the copy
    // could not be written.
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
        fail(QStringLiteral("The database '%1' cannot be compacted: the file is read-only for this user.")
                 .arg(path));

    // The opening has read the source, so its key is derived by now.
    const bool reuseSourceKey = !target.password.isEmpty() && target.password == source.password &&
                                !DatabaseFile::isUnprotected(path);
    NewTargetFile targetFile(target.path);
    DatabaseCensus census;
    try {
        {
            Sqlite::Statement attach(db, QStringLiteral("ATTACH DATABASE ?1 AS %1 KEY ?2").arg(CopySchema),
                                     path);
            attach.bind(1, target.path);
            // A copy protected with the source's own password takes the source's key as the opening
            // derived it (no key bound: SQLite's attach then hands over the main file's key and salt),
            // which spares a second derivation of the password. Another password is derived anew; an
            // empty one attaches an unprotected file.
            if (!reuseSourceKey)
                attach.bind(2, target.password);
            attach.step();
        }
        // Large copies sort and spill through temporary files, never through memory.
        Sqlite::exec(db, QStringLiteral("PRAGMA temp_store = FILE"), path);
        // These settings must be in place before the copy writes its first page. An unprotected copy
        // keeps the source's page size; a protected one has the cipher's own.
        if (target.password.isEmpty())
            copyPragma(db, QStringLiteral("page_size"), path);
        copyPragma(db, QStringLiteral("auto_vacuum"), path);

        // One transaction: the census and the copy see the same state of the source, and the copy
        // appears whole or not at all.
        Sqlite::exec(db, QStringLiteral("BEGIN"), path);
        Sqlite::exec(db, QStringLiteral("SELECT sqlcipher_export('%1')").arg(CopySchema), path);
        copyPragma(db, QStringLiteral("user_version"), path);
        copyPragma(db, QStringLiteral("application_id"), path);
        census = DatabaseCensus::take(connection);
        Sqlite::exec(db, QStringLiteral("COMMIT"), path);
        Sqlite::exec(db, QStringLiteral("DETACH DATABASE %1").arg(CopySchema), path);
        // A copy asked for with a password must never come out readable without it.
        if (!target.password.isEmpty() && DatabaseFile::isUnprotected(target.path))
            fail(QStringLiteral("the copy was written unprotected although a password was given"));
    } catch (const AppError& error) {
        if (sqlite3_get_autocommit(db) == 0)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "DETACH DATABASE compacted", nullptr, nullptr, nullptr);
        connection.close();
        throw AppError(error.number(),
                       QStringLiteral("The database '%1' could not be compacted into '%2': %3")
                           .arg(path, target.path, error.description()));
    }
    connection.close();
    targetFile.keep();
    return census;
}

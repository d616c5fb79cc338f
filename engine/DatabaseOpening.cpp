#include "engine/DatabaseOpening.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "engine/ConnectionTarget.h"
#include "engine/DatabaseFile.h"

#include <QFile>
#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int BusyTimeoutMs = 5000;
constexpr int PageSize = 1024;

[[noreturn]] void fail(const QString& description)
{
    throw AppError(ErrorNumber::Unspecified, description);
}

void openAndLock(FileLock& lock, const QString& path, struct stat& st, bool callerHoldsLock)
{
    if (const int error = lock.open(path); error != 0) {
        if (error == ENOENT)
            fail(QStringLiteral("Could not find file '%1'.").arg(path));
        if (error == ENOTDIR)
            fail(QStringLiteral("Could not find file '%1': a part of its path is a file, not a folder.")
                     .arg(path));
        fail(QStringLiteral("The database '%1' could not be opened: %2.").arg(path, systemErrorText(error)));
    }
    if (::fstat(lock.fd(), &st) != 0)
        fail(
            QStringLiteral("The database '%1' could not be examined: %2.").arg(path, systemErrorText(errno)));
    if (S_ISDIR(st.st_mode))
        fail(QStringLiteral("'%1' is not a database file: it is a folder.").arg(path));
    // Only a regular file goes further: a FIFO or a device would block or never end.
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("'%1' is not a database file: it is not a regular file (it is a device, a pipe "
                            "or a socket).")
                 .arg(path));
    if (const int error = lock.lock(FileLock::Mode::Shared); error != 0) {
        // A caller about to replace the file holds its exclusive lock already, and that lock covers this
        // connection too.
        if (error == EWOULDBLOCK && callerHoldsLock)
            return;
        if (error == EWOULDBLOCK)
            fail(QStringLiteral("The database '%1' is in use by another program.").arg(path));
        fail(QStringLiteral("The database '%1' could not be locked: %2.").arg(path, systemErrorText(error)));
    }
}

// Whether the locked file is an unprotected database; refuses what cannot be a database at all.
bool examine(const FileLock& lock, const QString& path, const struct stat& st)
{
    if (st.st_size == 0)
        fail(QStringLiteral("'%1' is not a database file: it is empty (0 bytes).").arg(path));

    QByteArray header(DatabaseFile::JetHeaderSize, '\0');
    const ssize_t got = ::pread(lock.fd(), header.data(), static_cast<size_t>(header.size()), 0);
    if (got < 0)
        fail(QStringLiteral("The database '%1' could not be read: %2.").arg(path, systemErrorText(errno)));
    header.truncate(got);
    // A Jet file is whole pages too and would pass for one protected with another password.
    if (DatabaseFile::hasJetHeader(header))
        fail(QStringLiteral(
                 "'%1' is a database of the Windows version (a Jet database), which this system does "
                 "not open; convert the folder it lies in with 'vaultkeep import FOLDER NEW_FOLDER'.")
                 .arg(path));
    const bool unprotected = DatabaseFile::hasUnprotectedHeader(header);
    if (!unprotected && st.st_size % PageSize != 0)
        fail(QStringLiteral(
                 "'%1' is not a database file: its size of %2 bytes is not a whole number of %3-byte "
                 "pages.")
                 .arg(path)
                 .arg(st.st_size)
                 .arg(PageSize));
    return unprotected;
}

// A file this user may not write is opened read-only, as the original engine did: reading works and every
// change fails with a "read-only" error. SQLite itself would fall back silently; asking for it makes the
// state explicit.
Sqlite::Database openSqlite(const QString& path)
{
    const QByteArray localPath = QFile::encodeName(path);
    const bool writable = ::access(localPath.constData(), W_OK) == 0;
    sqlite3* opened = nullptr;
    const int rc = sqlite3_open_v2(localPath.constData(), &opened,
                                   writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr);
    Sqlite::Database db(opened);
    if ((rc & 0xFF) == SQLITE_NOMEM)
        throw std::bad_alloc();
    if (rc != SQLITE_OK)
        fail(QStringLiteral("The database '%1' could not be opened: %2.")
                 .arg(path, QString::fromUtf8(db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc))));
    sqlite3_busy_timeout(db.get(), BusyTimeoutMs);
    return db;
}

// A wrong key shows only when the first page is read.
void applyKey(sqlite3* db, const ConnectionTarget& target, bool unprotected)
{
    // An unprotected file opens without a key, whatever password was given, as with the original engine.
    if (!unprotected && !target.password.isEmpty()) {
        const QByteArray key = target.password.toUtf8();
        sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
    }
    sqlite3_stmt* prepared = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &prepared, nullptr);
    const Sqlite::StatementPtr probe(prepared);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe.get());
    if (rc == SQLITE_ROW)
        return;
    if ((rc & 0xFF) == SQLITE_NOMEM)
        throw std::bad_alloc();
    const QString& path = target.path;
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    if ((rc & 0xFF) == SQLITE_NOTADB && !unprotected) {
        if (target.password.isEmpty())
            throw AppError(
                ErrorNumber::WrongPassword,
                QStringLiteral("The database '%1' is protected by a password and none was given.").arg(path));
        throw AppError(ErrorNumber::WrongPassword,
                       QStringLiteral("Not a valid password for the database '%1'.").arg(path));
    }
    if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT)
        fail(QStringLiteral("'%1' is not a database file or is damaged (%2).").arg(path, message));
    fail(QStringLiteral("The database '%1' could not be opened: %2.").arg(path, message));
}

} // namespace

OpenedDatabase openDatabase(const ConnectionTarget& target, bool callerHoldsLock)
{
    OpenedDatabase opened;
    struct stat st
    {};
    openAndLock(opened.lock, target.path, st, callerHoldsLock);
    const bool unprotected = examine(opened.lock, target.path, st);
    opened.db = openSqlite(target.path);
    applyKey(opened.db.get(), target, unprotected);
    return opened;
}

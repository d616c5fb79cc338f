#include "engine/Connection.h"

#include "engine/AppError.h"
#include "engine/JetDataSource.h"
#include "engine/SqlDialect.h"
#include "engine/SqlText.h"
#include "engine/Sqlite.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using SqlText::quoteIdentifier;

constexpr int BusyTimeoutMs = 5000;
constexpr int PageSize = 1024;
const QByteArray PlainHeader("SQLite format 3\0", 16);

[[noreturn]] void fail(const QString& description)
{
    throw AppError(ErrorNumber::Unspecified, description);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A descriptor that closes itself unless released.
struct FileDescriptor
{
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release()
    {
        const int result = fd;
        fd = -1;
        return result;
    }
};

} // namespace

struct Connection::Impl
{
    sqlite3* db = nullptr;
    int lockFd = -1;
    QString path;
    QStringList guardTriggers;
    int guardedSchemaVersion = -1;

    void release()
    {
        if (db != nullptr)
            sqlite3_close_v2(db);
        db = nullptr;
        if (lockFd >= 0)
            ::close(lockFd);
        lockFd = -1;
        path.clear();
        guardTriggers.clear();
        guardedSchemaVersion = -1;
    }

    void exec(const QString& sql) const { Sqlite::exec(db, sql, path); }

    int schemaVersion() const
    {
        Sqlite::Statement statement(db, QStringLiteral("PRAGMA main.schema_version"), path);
        return statement.step() ? statement.column(0).toInt() : 0;
    }

    void dropGuards()
    {
        for (const QString& name : std::as_const(guardTriggers))
            exec(QStringLiteral("DROP TRIGGER IF EXISTS temp.%1").arg(quoteIdentifier(name)));
        guardTriggers.clear();
        guardedSchemaVersion = -1;
    }

    void open(JetDataSource& target, Connection::LockOwner lockOwner);
    void buildGuards();
    void alterColumn(const SqlDialect::AlterColumn& alter);
};

// The length limit of text columns lives in the declared types only; the file carries no constraint
// for it (databases made by other programs must not be given constraints they did not have). The
// connection enforces it with TEMP triggers, which exist only inside this connection and cost one
// length() per sized column and written row.
void Connection::Impl::buildGuards()
{
    dropGuards();
    const int version = schemaVersion();

    QStringList tables;
    {
        Sqlite::Statement list(db,
                               QStringLiteral("SELECT name FROM main.sqlite_master WHERE type = 'table' "
                                              "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                                              "AND sql NOT LIKE 'CREATE VIRTUAL%'"),
                               path);
        while (list.step())
            tables.append(list.column(0).toString());
    }

    int number = 0;
    for (const QString& table : std::as_const(tables)) {
        struct Limited
        {
            QString column;
            int limit;
        };
        QList<Limited> limited;
        {
            Sqlite::Statement info(
                db, QStringLiteral("PRAGMA main.table_info(%1)").arg(quoteIdentifier(table)), path);
            while (info.step()) {
                const int limit = SqlDialect::textLimitOf(info.column(2).toString());
                if (limit > 0)
                    limited.append({info.column(1).toString(), limit});
            }
        }
        if (limited.isEmpty())
            continue;

        QStringList insertTests;
        QStringList updateTests;
        QStringList insertCases;
        QStringList updateCases;
        QStringList columns;
        for (const Limited& l : std::as_const(limited)) {
            const QString column = quoteIdentifier(l.column);
            QString marker = Sqlite::textTooLongMarker(table, l.column, l.limit);
            marker.replace(QLatin1Char('\''), QStringLiteral("''"));
            const QString tooLong = QStringLiteral("length(NEW.%1) > %2").arg(column).arg(l.limit);
            // An update that leaves a value as it was passes, so that a row holding an over-long text
            // written before the limit existed can still have its other columns changed.
            const QString changedTooLong =
                QStringLiteral("(NEW.%1 IS NOT OLD.%1 AND %2)").arg(column, tooLong);
            insertTests.append(tooLong);
            updateTests.append(changedTooLong);
            insertCases.append(QStringLiteral("WHEN %1 THEN RAISE(ABORT, '%2')").arg(tooLong, marker));
            updateCases.append(QStringLiteral("WHEN %1 THEN RAISE(ABORT, '%2')").arg(changedTooLong, marker));
            columns.append(column);
        }
        ++number;
        const QString insertName = QStringLiteral("companydesk_length_guard_%1_insert").arg(number);
        const QString updateName = QStringLiteral("companydesk_length_guard_%1_update").arg(number);
        exec(QStringLiteral(
                 "CREATE TEMP TRIGGER %1 BEFORE INSERT ON main.%2 WHEN %3 BEGIN SELECT CASE %4 END; END")
                 .arg(quoteIdentifier(insertName), quoteIdentifier(table),
                      insertTests.join(QStringLiteral(" OR ")), insertCases.join(QLatin1Char(' '))));
        guardTriggers.append(insertName);
        exec(
            QStringLiteral(
                "CREATE TEMP TRIGGER %1 BEFORE UPDATE OF %2 ON main.%3 WHEN %4 BEGIN SELECT CASE %5 END; END")
                .arg(quoteIdentifier(updateName), columns.join(QStringLiteral(", ")), quoteIdentifier(table),
                     updateTests.join(QStringLiteral(" OR ")), updateCases.join(QLatin1Char(' '))));
        guardTriggers.append(updateName);
    }
    guardedSchemaVersion = version;
}

// SQLite 3.15 cannot change a column's type, so the table is rebuilt: the old one renamed aside, the
// original CREATE TABLE text run again with only that column's type replaced, the rows copied with their
// rowids (so open recordsets still find them), the old table dropped and its indexes and triggers
// recreated from their own texts. All of it is one transaction, or a savepoint inside the caller's.
void Connection::Impl::alterColumn(const SqlDialect::AlterColumn& alter)
{
    QString table;
    QString createSql;
    {
        Sqlite::Statement find(
            db,
            QStringLiteral("SELECT name, sql FROM main.sqlite_master WHERE type = 'table' AND "
                           "name = ?1 COLLATE NOCASE"),
            path);
        find.bind(1, alter.table);
        if (!find.step())
            throw AppError(ErrorNumber::NoSuchTable,
                           QStringLiteral("The database '%1' has no table '%2'.").arg(path, alter.table));
        table = find.column(0).toString();
        createSql = find.column(1).toString();
    }

    SqlText::Span inside;
    if (!SqlText::columnList(createSql, inside))
        fail(QStringLiteral(
                 "The table '%1' of the database '%2' cannot be changed: its definition could not be "
                 "read.")
                 .arg(table, path));
    qsizetype typeBegin = -1;
    qsizetype typeEnd = -1;
    for (const SqlText::Span& part : SqlText::splitTopLevel(createSql, inside.first, inside.second)) {
        const QString definition = createSql.mid(part.first, part.second - part.first);
        SqlText::ColumnParts parts;
        if (!SqlText::columnParts(definition, parts))
            continue;
        const QString name = SqlText::unquoteIdentifier(
            definition.mid(parts.name.first, parts.name.second - parts.name.first));
        if (name.compare(alter.column, Qt::CaseInsensitive) == 0) {
            typeBegin = part.first + parts.type.first;
            typeEnd = part.first + parts.type.second;
            break;
        }
    }
    if (typeBegin < 0)
        throw AppError(ErrorNumber::NoSuchColumn,
                       QStringLiteral("The table '%1' of the database '%2' has no column '%3'.")
                           .arg(table, path, alter.column));
    const QString replacement = typeBegin == typeEnd ? QLatin1Char(' ') + alter.newType : alter.newType;
    const QString newSql = createSql.left(typeBegin) + replacement + createSql.mid(typeEnd);
    if (newSql == createSql)
        return;

    QStringList related;
    {
        Sqlite::Statement list(
            db,
            QStringLiteral("SELECT sql FROM main.sqlite_master WHERE tbl_name = ?1 COLLATE NOCASE "
                           "AND type IN ('index', 'trigger') AND sql IS NOT NULL "
                           "ORDER BY type = 'trigger', rowid"),
            path);
        list.bind(1, table);
        while (list.step())
            related.append(list.column(0).toString());
    }
    QStringList columns;
    {
        Sqlite::Statement info(db, QStringLiteral("PRAGMA main.table_info(%1)").arg(quoteIdentifier(table)),
                               path);
        while (info.step())
            columns.append(quoteIdentifier(info.column(1).toString()));
    }
    static const QRegularExpression withoutRowid(QStringLiteral(R"(\)\s*WITHOUT\s+ROWID\s*;?\s*$)"),
                                                 QRegularExpression::CaseInsensitiveOption);
    const bool hasRowid = !withoutRowid.match(createSql).hasMatch();

    QString aside = table + QStringLiteral("_companydesk_old");
    for (int n = 2;; ++n) {
        Sqlite::Statement exists(
            db, QStringLiteral("SELECT 1 FROM main.sqlite_master WHERE name = ?1 COLLATE NOCASE"), path);
        exists.bind(1, aside);
        if (!exists.step())
            break;
        aside = table + QStringLiteral("_companydesk_old%1").arg(n);
    }

    const bool ownTransaction = sqlite3_get_autocommit(db) != 0;
    exec(ownTransaction ? QStringLiteral("BEGIN IMMEDIATE")
                        : QStringLiteral("SAVEPOINT companydesk_alter_column"));
    try {
        dropGuards();
        exec(QStringLiteral("ALTER TABLE main.%1 RENAME TO %2")
                 .arg(quoteIdentifier(table), quoteIdentifier(aside)));
        exec(newSql);
        const QString list = columns.join(QStringLiteral(", "));
        exec(hasRowid ? QStringLiteral("INSERT INTO main.%1 (rowid, %3) SELECT rowid, %3 FROM main.%2")
                            .arg(quoteIdentifier(table), quoteIdentifier(aside), list)
                      : QStringLiteral("INSERT INTO main.%1 (%3) SELECT %3 FROM main.%2")
                            .arg(quoteIdentifier(table), quoteIdentifier(aside), list));
        exec(QStringLiteral("DROP TABLE main.%1").arg(quoteIdentifier(aside)));
        for (const QString& sql : std::as_const(related))
            exec(sql);
        exec(ownTransaction ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE companydesk_alter_column"));
    } catch (...) {
        sqlite3_exec(db,
                     ownTransaction
                         ? "ROLLBACK"
                         : "ROLLBACK TO companydesk_alter_column; RELEASE companydesk_alter_column",
                     nullptr, nullptr, nullptr);
        throw;
    }
}

Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection()
{
    close();
}

void Connection::open(const QString& connectionString, const QString& /*userId*/, const QString& /*password*/,
                      int /*options*/)
{
    if (isOpen())
        throw AppError(3705,
                       QStringLiteral("The connection to '%1' is open already; close it before opening it "
                                      "again.")
                           .arg(d->path));
    // The user name and password arguments are the workgroup login of the original engine; a database is
    // protected by its own password, given in the connection string.
    JetDataSource target = JetDataSource::fromConnectionString(connectionString);
    try {
        d->open(target, m_lockOwner);
    } catch (const std::bad_alloc&) {
        d->release();
        throw AppError(ErrorNumber::OutOfMemory,
                       QStringLiteral("Out of memory while opening the database '%1'.").arg(target.path));
    }
}

void Connection::Impl::open(JetDataSource& target, LockOwner lockOwner)
{
    // A relative Data Source is taken from the current folder, as it always was; the path is made whole
    // here so that every message names the file that was really tried.
    if (QFileInfo(target.path).isRelative())
        target.path = QFileInfo(target.path).absoluteFilePath();
    const QString& file = target.path;
    const QByteArray localPath = QFile::encodeName(file);

    // The shared lock is taken before anything is read, so that a program replacing the file as a whole
    // (it holds an exclusive lock meanwhile) is never read half-written. O_NONBLOCK: opening a FIFO would
    // otherwise wait for a writer for ever; only a regular file goes further.
    FileDescriptor lock;
    lock.fd = ::open(localPath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (lock.fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            fail(QStringLiteral("Could not find file '%1'.").arg(file));
        if (error == ENOTDIR)
            fail(QStringLiteral("Could not find file '%1': a part of its path is a file, not a folder.")
                     .arg(file));
        fail(QStringLiteral("The database '%1' could not be opened: %2.").arg(file, systemError(error)));
    }
    struct stat st
    {};
    if (::fstat(lock.fd, &st) != 0)
        fail(QStringLiteral("The database '%1' could not be examined: %2.").arg(file, systemError(errno)));
    if (S_ISDIR(st.st_mode))
        fail(QStringLiteral("'%1' is not a database file: it is a folder.").arg(file));
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("'%1' is not a database file: it is not a regular file (it is a device, a pipe "
                            "or a socket).")
                 .arg(file));
    if (::flock(lock.fd, LOCK_SH | LOCK_NB) != 0) {
        const int error = errno;
        // When the caller owns the lock, the one that stops us is the caller's own, and it covers this
        // connection.
        const bool callersLock = error == EWOULDBLOCK && lockOwner == LockOwner::Caller;
        if (error == EWOULDBLOCK && !callersLock)
            fail(QStringLiteral("The database '%1' is in use by another program.").arg(file));
        if (!callersLock)
            fail(QStringLiteral("The database '%1' could not be locked: %2.").arg(file, systemError(error)));
    }
    if (st.st_size == 0)
        fail(QStringLiteral("'%1' is not a database file: it is empty (0 bytes).").arg(file));

    QByteArray header(PlainHeader.size(), '\0');
    const ssize_t got = ::pread(lock.fd, header.data(), static_cast<size_t>(header.size()), 0);
    if (got < 0)
        fail(QStringLiteral("The database '%1' could not be read: %2.").arg(file, systemError(errno)));
    header.truncate(got);
    const bool unprotected = header == PlainHeader;
    if (!unprotected && st.st_size % PageSize != 0)
        fail(QStringLiteral(
                 "'%1' is not a database file: its size of %2 bytes is not a whole number of %3-byte "
                 "pages.")
                 .arg(file)
                 .arg(st.st_size)
                 .arg(PageSize));

    // A file this user may not write is opened read-only, as the original engine did: reading works and
    // every change fails with a "read-only" error. SQLite itself would fall back silently; asking for it
    // makes the state explicit.
    const bool writable = ::access(localPath.constData(), W_OK) == 0;
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(localPath.constData(), &handle,
                                   writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            QString::fromUtf8(handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
        sqlite3_close_v2(handle);
        if ((rc & 0xFF) == SQLITE_NOMEM)
            throw std::bad_alloc();
        fail(QStringLiteral("The database '%1' could not be opened: %2.").arg(file, message));
    }
    db = handle;
    path = file;
    lockFd = lock.release();

    try {
        sqlite3_busy_timeout(handle, BusyTimeoutMs);
        // An unprotected file opens without a key, whatever password was given, as with the original engine.
        if (!unprotected && !target.password.isEmpty()) {
            const QByteArray key = target.password.toUtf8();
            sqlite3_key(handle, key.constData(), static_cast<int>(key.size()));
        }
        // A wrong key shows only when the first page is read.
        sqlite3_stmt* probe = nullptr;
        int probeRc = sqlite3_prepare_v2(handle, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
        if (probeRc == SQLITE_OK)
            probeRc = sqlite3_step(probe);
        const QString message = QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_finalize(probe);
        if (probeRc != SQLITE_ROW) {
            if ((probeRc & 0xFF) == SQLITE_NOMEM)
                throw std::bad_alloc();
            if ((probeRc & 0xFF) == SQLITE_NOTADB && !unprotected) {
                if (target.password.isEmpty())
                    throw AppError(
                        ErrorNumber::WrongPassword,
                        QStringLiteral("The database '%1' is protected by a password and none was given.")
                            .arg(file));
                throw AppError(ErrorNumber::WrongPassword,
                               QStringLiteral("Not a valid password for the database '%1'.").arg(file));
            }
            if ((probeRc & 0xFF) == SQLITE_NOTADB || (probeRc & 0xFF) == SQLITE_CORRUPT)
                fail(QStringLiteral("'%1' is not a database file or is damaged (%2).").arg(file, message));
            fail(QStringLiteral("The database '%1' could not be opened: %2.").arg(file, message));
        }
        // The guards below live in the temporary schema; keep it in memory rather than in a file.
        exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
        buildGuards();
    } catch (...) {
        release();
        throw;
    }
}

bool Connection::isOpen() const
{
    return d->db != nullptr;
}

void Connection::execute(const QString& statement, int /*options*/)
{
    handle();
    schemaChanged();
    SqlDialect::AlterColumn alter;
    if (SqlDialect::parseAlterColumn(statement, alter)) {
        try {
            d->alterColumn(alter);
        } catch (...) {
            schemaChanged();
            throw;
        }
    } else {
        d->exec(SqlDialect::translate(statement));
    }
    schemaChanged();
}

void Connection::close()
{
    d->release();
}

void Connection::beginTrans()
{
    handle();
    d->exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void Connection::commitTrans()
{
    handle();
    d->exec(QStringLiteral("COMMIT"));
}

void Connection::rollbackTrans()
{
    handle();
    d->exec(QStringLiteral("ROLLBACK"));
    schemaChanged();
}

QString Connection::databasePath() const
{
    return d->path;
}

sqlite3* Connection::handle() const
{
    if (d->db == nullptr)
        throw AppError(3704, QStringLiteral("Operation is not allowed when the object is closed."));
    return d->db;
}

// Cheap when nothing changed: one read of the schema cookie. It also catches a schema changed by another
// connection or program, whose tables the guards must follow.
void Connection::schemaChanged()
{
    handle();
    if (d->schemaVersion() != d->guardedSchemaVersion)
        d->buildGuards();
}

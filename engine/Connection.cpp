#include "engine/Connection.h"

#include "base/AppError.h"
#include "base/FileLock.h"
#include "engine/ColumnTypeChange.h"
#include "engine/ConnectionTarget.h"
#include "engine/DatabaseOpening.h"
#include "engine/LengthGuards.h"
#include "engine/SqlDialect.h"
#include "engine/Sqlite.h"

#include <QFileInfo>
#include <new>

struct Connection::Impl
{
    FileLock lock; // released after the database is closed
    Sqlite::Database db;
    QString path;
    LengthGuards guards;

    void release()
    {
        guards.forget();
        db.reset();
        lock.release();
        path.clear();
    }

    void exec(const QString& sql) const { Sqlite::exec(db.get(), sql, path); }
};

Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection()
{
    close();
}

void Connection::open(const QString& connectionString, const QString& /*userId*/, const QString& /*password*/,
                      int /*options*/)
{
    if (isOpen())
        throw AppError(ErrorNumber::ObjectOpen,
                       QStringLiteral("The connection to '%1' is open already; close it before opening it "
                                      "again.")
                           .arg(d->path));
    // The user name and password arguments are the workgroup login of the original engine; a database is
    // protected by its own password, given in the connection string.
    ConnectionTarget target = ConnectionTarget::of(connectionString);
    // A relative Data Source is taken from the current folder, as it always was; the path is made whole
    // here so that every message names the file that was really tried.
    if (QFileInfo(target.path).isRelative())
        target.path = QFileInfo(target.path).absoluteFilePath();
    try {
        OpenedDatabase opened = openDatabase(target, m_lockOwner == LockOwner::Caller);
        d->db = std::move(opened.db);
        d->lock = std::move(opened.lock);
        d->path = target.path;
        // The guards live in the temporary schema; keep it in memory rather than in a file.
        d->exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
        d->guards.rebuild(d->db.get(), d->path);
    } catch (const std::bad_alloc&) {
        d->release();
        throw AppError(ErrorNumber::OutOfMemory,
                       QStringLiteral("Out of memory while opening the database '%1'.").arg(target.path));
    } catch (...) {
        d->release();
        throw;
    }
}

bool Connection::isOpen() const
{
    return d->db != nullptr;
}

void Connection::requireOpen() const
{
    if (!isOpen())
        throw Sqlite::objectClosedError();
}

void Connection::execute(const QString& statement, int /*options*/)
{
    requireOpen();
    schemaChanged();
    SqlDialect::AlterColumn alter;
    if (SqlDialect::parseAlterColumn(statement, alter)) {
        try {
            changeColumnType(d->db.get(), d->path, alter, d->guards);
        } catch (...) {
            schemaChanged();
            throw;
        }
    } else {
        d->exec(SqlDialect::translate(statement));
    }
    schemaChanged();
}

void Connection::compile(const QString& statement)
{
    requireOpen();
    const Sqlite::Statement compiled(d->db.get(), SqlDialect::translate(statement), d->path);
}

void Connection::close()
{
    d->release();
}

void Connection::beginTrans()
{
    requireOpen();
    d->exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void Connection::commitTrans()
{
    requireOpen();
    d->exec(QStringLiteral("COMMIT"));
}

void Connection::rollbackTrans()
{
    requireOpen();
    d->exec(QStringLiteral("ROLLBACK"));
    schemaChanged();
}

QString Connection::databasePath() const
{
    return d->path;
}

sqlite3* Connection::handle() const
{
    requireOpen();
    return d->db.get();
}

// Cheap when nothing changed: one read of the schema cookie. It also catches a schema changed by another
// connection or program, whose tables the guards must follow.
void Connection::schemaChanged()
{
    requireOpen();
    if (!d->guards.followSchema(d->db.get(), d->path))
        d->guards.rebuild(d->db.get(), d->path);
}

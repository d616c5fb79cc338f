#pragma once

#include <QString>

#include <memory>

class Recordset;
struct sqlite3;

// Cursor locations and the option value the callers pass.
namespace Ado {
inline constexpr int UseClient = 3;
inline constexpr int Unspecified = -1;
inline constexpr int OpenForwardOnly = 0;
inline constexpr int OpenKeyset = 1;
inline constexpr int OpenDynamic = 2;
inline constexpr int LockOptimistic = 3;
} // namespace Ado

// A connection to one single-file database, reached through an OLE DB connection string
// ("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=...;Jet OLEDB:Database Password=...") or a data-link
// reference ("FILE NAME=<path of a .udl file>"). Opening never creates a file. While open, the
// connection holds a shared lock on the database file so that whole-file replacement sees it in use.
// Every failure is thrown as AppError with the provider's error numbers (see ErrorNumber).
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Who holds the file's flock while the connection is open. Normally the connection itself, a shared
    // one that marks the file in use. A caller that holds the exclusive lock, because it is about to
    // replace the file, and must still read it sets Caller: open then adds no lock of its own, unless the
    // file turns out not to be locked at all, in which case it takes the shared one after all.
    enum class LockOwner
    {
        Connection,
        Caller
    };
    void setLockOwner(LockOwner owner) { m_lockOwner = owner; }

    void setCursorLocation(int location) { m_cursorLocation = location; }
    int cursorLocation() const { return m_cursorLocation; }

    void open(const QString& connectionString, const QString& userId = {}, const QString& password = {},
              int options = Ado::Unspecified);
    bool isOpen() const;
    // Runs a statement in the Jet dialect (translated to the engine's own); rows it returns are dropped.
    void execute(const QString& statement, int options = Ado::Unspecified);
    // Compiles a statement in the Jet dialect without running it: raises what execute raises for a
    // statement that names a missing table or column or is malformed, and reads or changes no row.
    void compile(const QString& statement);
    void close();

    // A write transaction (BEGIN IMMEDIATE): a second writer waits for it, up to the busy timeout.
    void beginTrans();
    void commitTrans();
    void rollbackTrans();

    QString databasePath() const; // the file that was opened, empty when closed
    // Raises the closed-object error (3704) unless the connection is open.
    void requireOpen() const;

    // For Recordset: the raw handle; throws AppError when the connection is not open.
    sqlite3* handle() const;
    // Rebuilds the connection's guards after the schema changed (internal to the engine).
    void schemaChanged();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    int m_cursorLocation = 2;
    LockOwner m_lockOwner = LockOwner::Connection;
};

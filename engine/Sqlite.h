#pragma once

#include "base/AppError.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <sqlcipher/sqlite3.h>

// The engine's thin layer over the SQLCipher C API: statements that finalize themselves, values in and
// out as QVariant, and the translation of SQLite's failures into the provider's error numbers.
namespace Sqlite {

struct CloseDatabase
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement
{
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
// An open database handle, closed when its owner goes.
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
// A prepared statement whose result codes the caller reads itself, finalized when its owner goes.
using StatementPtr = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

class Statement
{
public:
    // Prepares one statement; throws the mapped AppError on failure.
    Statement(sqlite3* db, const QString& sql, const QString& databasePath);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return m_statement; }
    void bind(int index, const QVariant& value); // index counts from 1
    // Steps once: true while a row is there, false when done; throws the mapped AppError.
    bool step();
    // Makes the statement ready to run again, its bound values cleared.
    void reset();
    QVariant column(int index) const;
    int columnCount() const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
    QString m_sql;
    QString m_databasePath;
};

// Runs a statement that needs no bound values, dropping any rows.
void exec(sqlite3* db, const QString& sql, const QString& databasePath);

// The AppError for the failure rc that the connection db has just reported while running sql.
AppError errorFor(sqlite3* db, int rc, const QString& databasePath, const QString& sql);

// The error of every operation on a connection or recordset that is not open.
AppError objectClosedError();

// The text a connection's length guard raises for a text that is too long, and its parts read back.
QString textTooLongMarker(const QString& table, const QString& column, int limit);
bool parseTextTooLongMarker(const QString& message, QString& table, QString& column, int& limit);

} // namespace Sqlite

#pragma once

#include <QString>

struct sqlite3;
class LengthGuards;
namespace SqlDialect {
struct AlterColumn;
}

// ALTER TABLE ... ALTER COLUMN, which SQLite cannot do: the table is rebuilt from its own CREATE TABLE
// text with only that column's type changed. All of it is one transaction, or a savepoint inside the
// caller's; rows keep their row ids (so open recordsets still find them), and the table's indexes and
// triggers are made again from their own texts. The guards are dropped for the rebuild; the caller makes
// them again for the new schema.
void changeColumnType(sqlite3* db, const QString& path, const SqlDialect::AlterColumn& alter,
                      LengthGuards& guards);

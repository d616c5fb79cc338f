#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

// The length limit of text columns lives in the declared types only; the file carries no constraint for
// it (databases made by other programs must not be given constraints they did not have). A connection
// enforces it with TEMP triggers, which exist only inside that connection and cost one length() per
// sized column and written row.
class LengthGuards
{
public:
    // Makes the guards for every table as the schema is now, in place of the ones made before.
    void rebuild(sqlite3* db, const QString& path);
    void drop(sqlite3* db, const QString& path);
    // Whether the guards still follow the schema; another connection or program may have changed it.
    bool followSchema(sqlite3* db, const QString& path) const;
    // Forgets the guards without touching the database (whose connection is closing).
    void forget();

private:
    QStringList m_triggers;
    int m_schemaVersion = -1;
};

#pragma once

#include <QProcess>
#include <QString>

// Another SQLite program holding a database open: the sqlcipher shell, fed statements one batch at a
// time while it keeps the file open (idle between batches, or inside a transaction it has begun). POSIX
// record locks belong to a process, so only another process shows what a second program does.
class SqliteHolder
{
public:
    SqliteHolder(const QString& database, const QString& key);
    ~SqliteHolder();
    SqliteHolder(const SqliteHolder&) = delete;
    SqliteHolder& operator=(const SqliteHolder&) = delete;

    // Runs the statements and waits, up to a deadline, until the shell has answered every one of them.
    // False when it did not start, reported an error or did not answer in time (errors() says what).
    bool run(const QString& statements);
    // Closes its input and waits for it to end; true when it ended cleanly and without an error.
    bool finish();
    // Kills it where it stands, as a crash or a power cut ends a program: whatever it had in its
    // write-ahead log stays there, its transaction is not committed.
    void kill();
    QString errors() const { return m_errors; }

private:
    QProcess m_shell;
    QString m_errors;
    int m_batches = 0;
};

#pragma once

#include <QString>

// The sqlite3-compatible shell of SQLCipher, the independent reader the tests check the engine against.
struct ShellResult
{
    int exitCode = -1;
    QString output;
    QString errors;
};

// Runs the shell on a database file with the script on its standard input.
ShellResult runSqlcipherShell(const QString& database, const QString& script);

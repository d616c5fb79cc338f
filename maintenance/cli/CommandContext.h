#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

// What a command of vaultkeep's command line works with: its two output streams, whether the error
// stream is a terminal (for a progress line), the clock that names backups, the program's own folder and
// its standard input. main() builds the real one; tests build their own.
struct CommandContext
{
    std::function<void(const QString&)> out; // text to standard output, as given
    std::function<void(const QString&)> err; // text to standard error, as given
    bool terminal = false;                   // standard error is a terminal
    std::function<QDateTime()> clock;        // local time
    QString programFolder;                   // where the compaction's temporary copy goes
    std::function<QByteArray()> readInput;   // everything on standard input
};

// The exit codes of every command.
namespace ExitCode {
inline constexpr int Done = 0;
inline constexpr int Failed = 1;
inline constexpr int WrongUsage = 2;
} // namespace ExitCode

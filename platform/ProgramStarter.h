#pragma once

#include <QString>
#include <QStringList>

// Starts a program detached, the way the desktop shell does, and answers with the shell's return codes:
// 42 on success; 2 file missing, 3 folder missing, 5 access denied, 8 out of memory, 11 not an
// executable, 31 a Windows program and no wine to run it, 0 any other failure.
namespace ShellCode {
inline constexpr int Success = 42;
inline constexpr int OtherFailure = 0;
inline constexpr int FileNotFound = 2;
inline constexpr int PathNotFound = 3;
inline constexpr int AccessDenied = 5;
inline constexpr int OutOfMemory = 8;
inline constexpr int BadFormat = 11;
inline constexpr int NoAssociation = 31;
} // namespace ShellCode

class IProgramStarter
{
public:
    virtual ~IProgramStarter() = default;
    // file: a name resolved in directory (or a full path); parameters: one command-line text, split
    // into arguments as a Windows program's runtime would.
    virtual int start(const QString& file, const QString& parameters, const QString& directory,
                      int showCommand) = 0;
};

// Splits a command-line text into arguments by the Windows runtime's rules: blanks separate (a run of
// blanks counts once), double quotes group, backslashes before a quote escape it.
QStringList splitWindowsCommandLine(const QString& parameters);

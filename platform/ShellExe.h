#pragma once

#include <QString>

class IProgramStarter;

// Starting a program through the desktop shell.
namespace ShellExe {

// The readable text for a shell start-up return code; codes above 32 mean success.
QString ShellErrorText(long code);

// Opens FileName in Directory with the parameters; returns the shell's code (above 32) or raises
// error 17 with the readable text.
long ExecuteFile(IProgramStarter& starter, const QString& FileName, long ShowCommand,
                 const QString& Parameters, const QString& Directory);

} // namespace ShellExe

#pragma once

#include "maintenance/cli/CommandContext.h"

#include <QList>
#include <QString>
#include <QStringList>

// vaultkeep's commands: each one a name, its synopsis and the function that runs it on the arguments that
// follow the name. A command throws UsageError for wrong usage and returns its exit code otherwise.
struct Command
{
    QString name;
    QString synopsis; // the arguments after the name, as the help shows them
    QString summary;  // one line for the help
    int (*run)(const QStringList& arguments, CommandContext& context);
};

// Every command, in the order the help lists them. A new command is one more entry here and a file of
// its own that defines its function.
const QList<Command>& commands();

int runBackupCommand(const QStringList& arguments, CommandContext& context);
int runVerifyCommand(const QStringList& arguments, CommandContext& context);
int runRestoreCommand(const QStringList& arguments, CommandContext& context);
int runCompactCommand(const QStringList& arguments, CommandContext& context);
int runImportCommand(const QStringList& arguments, CommandContext& context);

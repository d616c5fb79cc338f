#pragma once

#include "maintenance/cli/CommandContext.h"

#include <QStringList>

// vaultkeep's command line: "vaultkeep COMMAND ARGUMENTS..." runs headless; without arguments the program
// opens its window instead.
namespace CommandLine {

// Whether the program's arguments (after its name) ask for the command line rather than the window.
bool wanted(const QStringList& arguments);

// Runs the command the arguments name. Prints the help for "--help" ("-h", "help"), and one line on
// standard error for wrong usage (exit code 2) or a failure (1). Returns the exit code.
int run(const QStringList& arguments, CommandContext& context);

// The help text.
QString help();

} // namespace CommandLine

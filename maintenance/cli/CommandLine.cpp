#include "maintenance/cli/CommandLine.h"

#include "base/AppError.h"
#include "maintenance/cli/Arguments.h"
#include "maintenance/cli/Commands.h"

namespace CommandLine {

namespace {

bool asksForHelp(const QString& argument)
{
    return argument == QStringLiteral("--help") || argument == QStringLiteral("-h") ||
           argument == QStringLiteral("help");
}

const Command* find(const QString& name)
{
    for (const Command& command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

int wrongUsage(CommandContext& context, const QString& prefix, const QString& message)
{
    context.err(QStringLiteral("%1: %2 Try 'vaultkeep --help'.\n").arg(prefix, message));
    return ExitCode::WrongUsage;
}

} // namespace

bool wanted(const QStringList& arguments)
{
    return !arguments.isEmpty();
}

QString help()
{
    QString text = QStringLiteral("Usage: vaultkeep                      (opens the window)\n");
    for (const Command& command : commands())
        text += QStringLiteral("       vaultkeep %1 %2\n").arg(command.name, command.synopsis);
    text += QStringLiteral("       vaultkeep --help\n\n");
    for (const Command& command : commands())
        text += QStringLiteral("  %1  %2\n").arg(command.name, -8).arg(command.summary);
    text += QStringLiteral(
        "\nA password is never taken from the command line: compact reads it from --password-file FILE\n"
        "(its first line) or from standard input with --password-stdin.\n"
        "--keep N keeps the N newest DB-<14 digits> folders beside the new backup (N at least 1) and "
        "removes\n"
        "older ones with their manifests, only after the new backup verified.\n"
        "On a terminal a progress line is shown; otherwise one summary line at the end.\n"
        "Exit codes: 0 done, 1 failed (one line on standard error says which file and why), 2 wrong "
        "usage.\n");
    return text;
}

int run(const QStringList& arguments, CommandContext& context)
{
    if (arguments.isEmpty() || asksForHelp(arguments.first())) {
        context.out(help());
        return ExitCode::Done;
    }
    const Command* command = find(arguments.first());
    if (command == nullptr)
        return wrongUsage(context, QStringLiteral("vaultkeep"),
                          QStringLiteral("unknown command '%1'.").arg(arguments.first()));
    const QStringList rest = arguments.mid(1);
    const QString prefix = QStringLiteral("vaultkeep ") + command->name;
    if (rest.contains(QStringLiteral("--help")) || rest.contains(QStringLiteral("-h"))) {
        context.out(QStringLiteral("Usage: vaultkeep %1 %2\n  %3\n")
                        .arg(command->name, command->synopsis, command->summary));
        return ExitCode::Done;
    }
    try {
        return command->run(rest, context);
    } catch (const UsageError& error) {
        return wrongUsage(context, prefix, error.message());
    } catch (const AppError& error) {
        context.err(QStringLiteral("%1: %2\n").arg(prefix, error.description()));
        return ExitCode::Failed;
    } catch (const std::exception& error) {
        context.err(QStringLiteral("%1: %2\n").arg(prefix, QString::fromLocal8Bit(error.what())));
        return ExitCode::Failed;
    }
}

} // namespace CommandLine

#include "maintenance/backup/BackupRestorer.h"
#include "maintenance/cli/Arguments.h"
#include "maintenance/cli/Commands.h"
#include "maintenance/cli/Summary.h"
#include "maintenance/cli/TerminalProgress.h"
#include "shared/AppFolder.h"

#include <QElapsedTimer>

int runRestoreCommand(const QStringList& list, CommandContext& context)
{
    const Arguments arguments(list, {QStringLiteral("--overwrite")}, {});
    arguments.requireOperands(2, 2, QStringLiteral("BACKUP_FOLDER APP_FOLDER"));
    QElapsedTimer clock;
    clock.start();
    TerminalProgress progress(context.terminal, context.err);
    const BackupRestorer::Report report =
        BackupRestorer::restore({arguments.operands()[0], arguments.operands()[1],
                                 arguments.has(QStringLiteral("--overwrite")), AppFolder::CommonPassword},
                                progress);
    progress.end();
    context.out(Summary::line(QStringLiteral("restore"),
                              arguments.operands()[0] + QStringLiteral(" into ") + arguments.operands()[1],
                              report.files, report.bytes, clock.elapsed(), true) +
                QLatin1Char('\n'));
    return ExitCode::Done;
}

#include "maintenance/backup/BackupVerifier.h"
#include "maintenance/cli/Arguments.h"
#include "maintenance/cli/Commands.h"
#include "maintenance/cli/Summary.h"
#include "maintenance/cli/TerminalProgress.h"
#include "shared/AppFolder.h"

#include <QElapsedTimer>

int runVerifyCommand(const QStringList& list, CommandContext& context)
{
    const Arguments arguments(list, {}, {});
    arguments.requireOperands(1, 1, QStringLiteral("BACKUP_FOLDER"));
    QElapsedTimer clock;
    clock.start();
    TerminalProgress progress(context.terminal, context.err);
    const BackupVerifier::Report report =
        BackupVerifier::verify(arguments.operands()[0], AppFolder::CommonPassword, progress);
    progress.end();
    context.out(Summary::line(QStringLiteral("verify"), report.folder, report.files, report.bytes,
                              clock.elapsed(), true) +
                QLatin1Char('\n'));
    return ExitCode::Done;
}

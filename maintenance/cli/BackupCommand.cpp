#include "maintenance/backup/BackupMaker.h"
#include "maintenance/cli/Arguments.h"
#include "maintenance/cli/Commands.h"
#include "maintenance/cli/Summary.h"
#include "maintenance/cli/TerminalProgress.h"
#include "shared/AppFolder.h"

#include <QElapsedTimer>

namespace {

int keepCount(const Arguments& arguments)
{
    if (!arguments.has(QStringLiteral("--keep")))
        return 0;
    const QString text = arguments.value(QStringLiteral("--keep"));
    bool isNumber = false;
    const int keep = text.toInt(&isNumber);
    if (!isNumber || keep < 1 || text.startsWith(QLatin1Char('+')))
        throw UsageError(
            QStringLiteral("--keep needs a whole number of backups of at least 1, not '%1'.").arg(text));
    return keep;
}

} // namespace

int runBackupCommand(const QStringList& list, CommandContext& context)
{
    const Arguments arguments(list, {QStringLiteral("--overwrite")}, {QStringLiteral("--keep")});
    arguments.requireOperands(1, 2, QStringLiteral("APP_FOLDER [TARGET_FOLDER]"));
    const int keep = keepCount(arguments);
    const QString app = arguments.operands()[0];
    const QString parent =
        arguments.operands().size() > 1 ? arguments.operands()[1] : app + QStringLiteral("/Backup");
    const QString name = QStringLiteral("DB-") + context.clock().toString(QStringLiteral("yyyyMMddHHmmss"));

    QElapsedTimer clock;
    clock.start();
    TerminalProgress progress(context.terminal, context.err);
    const BackupMaker::Report report =
        BackupMaker::make({app, parent + QLatin1Char('/') + name,
                           arguments.has(QStringLiteral("--overwrite")), keep, AppFolder::CommonPassword},
                          progress);
    progress.end();
    QString line = Summary::line(QStringLiteral("backup"), report.folder, report.files, report.bytes,
                                 clock.elapsed(), true);
    if (!report.pruned.isEmpty())
        line += QStringLiteral(", %1 older removed").arg(report.pruned.size());
    for (const QString& skipped : report.skipped)
        context.err(QStringLiteral("warning: ") + skipped + QLatin1Char('\n'));
    context.out(line + QLatin1Char('\n'));
    return ExitCode::Done;
}

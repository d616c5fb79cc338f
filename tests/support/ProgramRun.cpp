#include "tests/support/ProgramRun.h"

#include <QProcessEnvironment>

ProgramRun runProgram(const QString& program, const QStringList& arguments, const QString& workingFolder,
                      const QMap<QString, QString>& extraEnvironment, const QByteArray& input, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = extraEnvironment.cbegin(); it != extraEnvironment.cend(); ++it)
        environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    ProgramRun run;
    run.started = process.waitForStarted(30000);
    if (!run.started)
        return run;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

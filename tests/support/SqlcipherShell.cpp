#include "tests/support/SqlcipherShell.h"

#include <QProcess>

ShellResult runSqlcipherShell(const QString& database, const QString& script)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), database});
    ShellResult result;
    if (!shell.waitForStarted(10000)) {
        result.errors = QStringLiteral("sqlcipher did not start: ") + shell.errorString();
        return result;
    }
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(30000);
    result.exitCode = shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    result.output = QString::fromUtf8(shell.readAllStandardOutput());
    result.errors = QString::fromUtf8(shell.readAllStandardError());
    return result;
}

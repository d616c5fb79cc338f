#include "tests/support/SqliteHolder.h"

#include <QDeadlineTimer>
#include <algorithm>

SqliteHolder::SqliteHolder(const QString& database, const QString& key)
{
    m_shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), QStringLiteral("-bail"), database});
    if (!m_shell.waitForStarted(10000)) {
        m_errors = QStringLiteral("sqlcipher did not start: ") + m_shell.errorString();
        return;
    }
    run(QStringLiteral("PRAGMA key='%1';").arg(key));
}

SqliteHolder::~SqliteHolder()
{
    if (m_shell.state() != QProcess::NotRunning) {
        m_shell.kill();
        m_shell.waitForFinished(10000);
    }
}

bool SqliteHolder::run(const QString& statements)
{
    if (m_shell.state() != QProcess::Running) {
        m_errors += QStringLiteral("the shell is not running");
        return false;
    }
    // The shell prints the marker only after the statements before it have run.
    const QByteArray marker = "batch-" + QByteArray::number(++m_batches) + "-done";
    m_shell.write(statements.toUtf8() + "\nSELECT '" + marker + "';\n");
    QByteArray output;
    QDeadlineTimer deadline(30000);
    while (!output.contains(marker)) {
        if (deadline.hasExpired() || m_shell.state() != QProcess::Running) {
            m_errors += QString::fromUtf8(m_shell.readAllStandardError()) +
                        QStringLiteral(" (no answer to: %1)").arg(statements);
            return false;
        }
        m_shell.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 1000)));
        output += m_shell.readAllStandardOutput();
    }
    const QString errors = QString::fromUtf8(m_shell.readAllStandardError());
    m_errors += errors;
    return errors.isEmpty();
}

void SqliteHolder::kill()
{
    m_shell.kill();
    m_shell.waitForFinished(30000);
}

bool SqliteHolder::finish()
{
    m_shell.closeWriteChannel();
    if (!m_shell.waitForFinished(30000))
        return false;
    m_errors += QString::fromUtf8(m_shell.readAllStandardError());
    return m_shell.exitStatus() == QProcess::NormalExit && m_shell.exitCode() == 0 && m_errors.isEmpty();
}

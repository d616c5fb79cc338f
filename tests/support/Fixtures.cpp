#include "tests/support/Fixtures.h"

#include <QFile>
#include <QProcess>

namespace Fixtures {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray dataLinkBytes(const QString& connectionString)
{
    const QString text =
        QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") +
        connectionString + QStringLiteral("\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

QString sqlcipherShell(const QString& databasePath, const QString& sql, const QString& key)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {databasePath});
    if (!shell.waitForStarted(10000))
        return QStringLiteral("<sqlcipher shell did not start>");
    QByteArray input;
    if (!key.isEmpty())
        input += "PRAGMA key='" + key.toUtf8() + "';\n";
    input += sql.toUtf8() + "\n";
    shell.write(input);
    shell.closeWriteChannel();
    shell.waitForFinished(30000);
    return QString::fromUtf8(shell.readAllStandardOutput() + shell.readAllStandardError()).trimmed();
}

} // namespace Fixtures

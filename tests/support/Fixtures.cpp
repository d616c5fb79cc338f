#include "tests/support/Fixtures.h"

#include "tests/support/SqlcipherShell.h"

#include <QFile>

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

QByteArray utf16le(const QString& text, bool withMark)
{
    QByteArray bytes;
    if (withMark)
        bytes.append("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray dataLinkBytes(const QString& connectionString)
{
    return utf16le(QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") +
                   connectionString + QStringLiteral("\r\n"));
}

QString sqlcipherShell(const QString& databasePath, const QString& sql, const QString& key)
{
    QString script;
    if (!key.isEmpty())
        script += QStringLiteral("PRAGMA key='%1';\n").arg(key);
    script += sql + QLatin1Char('\n');
    const ShellResult result = runSqlcipherShell(databasePath, script);
    return (result.output + result.errors).trimmed();
}

} // namespace Fixtures

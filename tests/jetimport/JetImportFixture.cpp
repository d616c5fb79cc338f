#include "tests/jetimport/JetImportFixture.h"

#include "tests/support/SqlcipherShell.h"

#include <QDir>
#include <QFile>

namespace JetImportFixture {

QString copySample(const QString& folder, const QString& name, const QString& as)
{
    const QString target = folder + QLatin1Char('/') + (as.isEmpty() ? name : as);
    QFile::copy(QStringLiteral(JET_SAMPLES "/") + name, target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return target;
}

JetImport::ImportOptions options(int codePage)
{
    JetImport::ImportOptions result;
    result.codePage = codePage;
    result.password = Password;
    return result;
}

QStringList shellLines(const QString& database, const QString& sql)
{
    const ShellResult result =
        runSqlcipherShell(database, QStringLiteral("PRAGMA key = '%1';\n%2\n").arg(Password, sql));
    QStringList lines = result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // The key pragma answers "ok" on newer shells; nothing else of the script prints it.
    lines.removeAll(QStringLiteral("ok"));
    if (!result.errors.isEmpty())
        lines.append(QStringLiteral("error: ") + result.errors.trimmed());
    return lines;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace JetImportFixture

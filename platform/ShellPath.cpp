#include "platform/ShellPath.h"

#include "base/PathJoin.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <sys/stat.h>

namespace ShellPath {

namespace {

bool existsAsWritten(const QString& path)
{
    // lstat, not QFileInfo::exists: a dangling link is still an entry that must not be looked up again.
    struct stat st
    {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

QString resolve(const QString& path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = QStringLiteral("/");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString written = pathInFolder(current, parts[i]);
        if (existsAsWritten(written)) {
            current = written;
            continue;
        }
        QStringList found;
        for (const QString& entry : entries(current)) {
            if (entry.compare(parts[i], Qt::CaseInsensitive) == 0)
                found.append(entry);
        }
        if (found.size() != 1) {
            // Nothing (or no single entry) matches: this and the following components are new names.
            for (qsizetype j = i; j < parts.size(); ++j)
                current = pathInFolder(current, parts[j]);
            return current;
        }
        current = pathInFolder(current, found.first());
    }
    return current;
}

bool isPattern(const QString& name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

bool matches(const QString& pattern, const QString& name)
{
    // "*.*" selected every entry on the filesystem the names come from, dot or not.
    if (pattern == QStringLiteral("*.*") || pattern == QStringLiteral("*"))
        return true;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(name).hasMatch();
}

QStringList matchingEntries(const QString& folder, const QString& pattern)
{
    QStringList result;
    for (const QString& entry : entries(folder)) {
        if (matches(pattern, entry))
            result.append(entry);
    }
    return result;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace ShellPath

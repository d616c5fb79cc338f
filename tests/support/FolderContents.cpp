#include "tests/support/FolderContents.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace FolderContents {

Contents take(const QString& folder)
{
    Contents entries;
    const QDir base(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir() && !info.isSymLink()) {
            entries.insert(base.relativeFilePath(path) + QLatin1Char('/'), {});
            continue;
        }
        QFile file(path);
        entries.insert(base.relativeFilePath(path),
                       file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return entries;
}

QStringList differences(const Contents& before, const Contents& after)
{
    QStringList changed;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changed.append(QStringLiteral("removed ") + it.key());
        else if (after.value(it.key()) != it.value())
            changed.append(QStringLiteral("changed ") + it.key());
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()))
            changed.append(QStringLiteral("added ") + it.key());
    return changed;
}

} // namespace FolderContents

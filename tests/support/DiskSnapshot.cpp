#include "tests/support/DiskSnapshot.h"

#include "tests/support/Fixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <sys/stat.h>

namespace DiskSnapshot {

Snapshot take(const QString& folder)
{
    Snapshot snapshot;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st
        {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        QByteArray what;
        if (S_ISREG(st.st_mode))
            what = Fixtures::readAll(path);
        else if (S_ISDIR(st.st_mode))
            what = "<folder>";
        else if (S_ISLNK(st.st_mode))
            what = "<link to " + QFile::encodeName(QFile::symLinkTarget(path)) + ">";
        else if (S_ISFIFO(st.st_mode))
            what = "<fifo>";
        else
            what = "<device>";
        snapshot.insert(base.relativeFilePath(path), what);
    }
    return snapshot;
}

QString differences(const Snapshot& before, const Snapshot& after)
{
    QStringList lines;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            lines << QStringLiteral("gone: ") + it.key();
        else if (after.value(it.key()) != it.value())
            lines << QStringLiteral("changed: ") + it.key();
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            lines << QStringLiteral("new: ") + it.key();
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace DiskSnapshot

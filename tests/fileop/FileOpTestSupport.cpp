#include "tests/fileop/FileOpTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace FileOpTest {

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        qFatal("Cannot write test file %s", qPrintable(path));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

QByteArray patternData(qint64 size, char seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        data[i] = char((i * 31 + seed + i / 4093) & 0xff);
    return data;
}

QStringList tree(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.append(base.relativeFilePath(path) +
                       (it.fileInfo().isDir() ? QStringLiteral("/") : QString()));
    }
    entries.sort();
    return entries;
}

void setTimes(const QString& path, qint64 secondsSinceEpoch)
{
    const timespec times[2] = {{secondsSinceEpoch, 0}, {secondsSinceEpoch, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

Attributes attributesOf(const QString& path)
{
    struct stat st
    {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {unsigned(st.st_mode & 07777), qint64(st.st_mtim.tv_sec)};
}

} // namespace FileOpTest

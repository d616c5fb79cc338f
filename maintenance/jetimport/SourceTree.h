#pragma once

#include <QString>
#include <QVector>

#include <sys/stat.h>

// The entries of a folder to import, found and checked before anything is written.
namespace JetImport {

struct SourceEntry
{
    enum class Kind
    {
        Folder,
        File,
        JetDatabase
    };
    QString relative; // below the source folder, "/" between the parts
    QString path;
    Kind kind = Kind::File;
    mode_t mode = 0;
    timespec modified{};
};

// Every entry below root, folders before what they hold. A link is followed (to a file: its bytes; to a
// folder: its entries). Raises AppError (Unspecified) naming the path for an entry that cannot be read,
// a special file, a link that leads nowhere and a link back into a folder it lies in.
QVector<SourceEntry> scanSource(const QString& root);

} // namespace JetImport

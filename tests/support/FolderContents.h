#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Every entry below a folder (hidden ones too) with the bytes of each file, to prove that a refused run
// changed nothing or that a copy is whole. Folders map to an empty array with a trailing "/" on their
// name; a link to a folder is an entry of its own, not followed.
namespace FolderContents {
using Contents = QMap<QString, QByteArray>;
Contents take(const QString& folder);
// Names the entries that differ ("added x", "removed y", "changed z"), rather than printing whole
// databases.
QStringList differences(const Contents& before, const Contents& after);
} // namespace FolderContents

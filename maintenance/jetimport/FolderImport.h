#pragma once

#include "maintenance/jetimport/ImportReport.h"

#include <QList>
#include <QString>
#include <QStringList>

// The import of a whole application folder copied from a Windows installation.
namespace JetImport {

struct FolderReport
{
    QList<DatabaseReport> databases; // every Jet database converted
    int filesCopied = 0;             // every other file, byte for byte
    QString masterDataLink;          // the data-link file written for the master; empty when none
    QStringList notes;               // what was not converted or not written, one line each
};

// Copies the tree under source into target, a new folder or an empty one: every Jet database (known by
// its header, whatever its name) converted under the same name with the options' password, every other
// file (databases of this engine too) byte for byte with its mode and time, and the master's data-link
// file written anew for the master under target. The whole tree is made in a folder beside target and
// renamed into place at the end, so target holds all of it or nothing. Refused before anything is
// written: a missing source or one that is no folder, a target that is a file, holds a master database
// or anything else, a target inside the source, a source with an entry that cannot be read, a special
// file (FIFO, socket, device), a link that leads nowhere or into a loop, and a second import into the
// same target while one runs. Every failure raises AppError (Unspecified) with one sentence naming the
// path and the cause; the source is only read.
FolderReport importFolder(const QString& source, const QString& target, const ImportOptions& options);

} // namespace JetImport

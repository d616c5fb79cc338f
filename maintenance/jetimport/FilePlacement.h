#pragma once

#include <QString>

// Putting a finished file in place: its data on disk first, then one rename that never replaces
// anything, then the folder's entry on disk. Failures raise AppError (Unspecified) naming the file.
namespace FilePlacement {

void syncFile(const QString& path);
void syncFolder(const QString& folder);
// Renames without replacing: an existing target is refused with "exists already" and left as it is.
void renameNew(const QString& from, const QString& to);
// A name beside the target for the file being written ("<folder>/.<name>.importing-<pid>-<n>"), not in
// use when asked; whoever creates it first owns it.
QString workingNameFor(const QString& target);

} // namespace FilePlacement

#pragma once

#include <QString>

// Folder facts the backup and restore routines share.
namespace FolderPaths {

// The path as the filesystem takes it: case resolved and links followed as far as it exists.
QString physicalPath(const QString& path);
// Whether path is folder or lies below it, links followed.
bool liesWithin(const QString& path, const QString& folder);
// The path without separators at its end ("/" stays "/").
QString withoutTrailingSlash(const QString& path);
// Makes the folder and every missing one above it; 0, or the errno of the step that failed.
int makeFolders(const QString& path);
// Syncs a folder's entries to the disk; 0, or the errno.
int syncFolder(const QString& path);
// Removes a folder with everything below it, links removed rather than followed.
void removeTree(const QString& path);

} // namespace FolderPaths

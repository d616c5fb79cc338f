#pragma once

#include <QString>

// Path checks. A component that does not exist as written is looked up ignoring case, as the data
// files' names were written for a filesystem that ignores it.
namespace modFileSys {

// True when the path exists and is not a folder. An empty path raises error 5 "Empty string passed.".
bool FileExists(const QString& path);
// True when the path exists and is a folder. An empty path raises error 5.
bool FolderExists(const QString& path);

// Raises error 5 "Empty string passed." for an empty path argument.
void RequirePath(const QString& path);

} // namespace modFileSys

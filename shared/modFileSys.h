#pragma once

#include <QString>

// Path checks. A component that does not exist as written is looked up ignoring case, as the data
// files' names were written for a filesystem that ignores it.
namespace modFileSys {

// True when the path exists and is not a folder. An empty path raises error 5 "Empty string passed.".
bool FileExists(const QString& path);
// True when the path exists and is a folder. An empty path raises error 5.
bool FolderExists(const QString& path);

// Result codes of CreateFolderPath.
namespace FolderPath {
inline constexpr short NothingCreated = 0; // an error stopped it before the first new folder
inline constexpr short AlreadyExisted = 1;
inline constexpr short Created = 2; // at least one folder was made
} // namespace FolderPath

// Makes the folder and every missing folder above it, from the root down. A relative path is taken from
// the current folder. Stops silently at the first level it cannot make, with the code reached so far;
// when error is given it then receives that level's errno (0 otherwise). An empty path raises error 5.
short CreateFolderPath(const QString& path, int* error = nullptr);

// Raises error 5 "Empty string passed." for an empty path argument.
void RequirePath(const QString& path);

} // namespace modFileSys

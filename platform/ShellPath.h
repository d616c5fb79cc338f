#pragma once

#include <QString>
#include <QStringList>

// Path handling of the shell file operation. The names the programs pass were written for a filesystem
// that ignores case, so a component that does not exist as written is looked up ignoring case.
namespace ShellPath {

// The absolute, cleaned path (doubled separators and a trailing one dropped) with every component that
// does not exist as written replaced by the single entry of its folder that matches it ignoring case.
// Resolution stops at the first component that matches nothing (or more than one entry); the rest is
// kept as written.
QString resolve(const QString& path);

// True when the last component holds a wildcard ('*' or '?').
bool isPattern(const QString& name);

// "*.*" matches every name, with or without a dot; any other pattern is matched ignoring case.
bool matches(const QString& pattern, const QString& name);

// The entries of folder (hidden ones too) whose names match the pattern, sorted by name.
QStringList matchingEntries(const QString& folder, const QString& pattern);

// Every entry of folder, hidden ones too, sorted by name.
QStringList entries(const QString& folder);

} // namespace ShellPath

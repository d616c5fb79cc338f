#pragma once

#include <QString>

class IFileOperation;

// Copy and delete through the desktop shell's file operation, which shows its own progress window,
// questions and error boxes as the flags allow. These routines show nothing themselves.
namespace Common {

// Copies an existing file (not a folder, not a pattern) to target. False without touching anything when
// the source is no file; otherwise whether the shell did everything asked (a cancel, a denied write or a
// full disk is false). Empty paths raise error 5.
bool ShellCopy(IFileOperation& files, const QString& source, const QString& target, int flags);

// Deletes the path, into the desktop trash when allowUndo is set; whether everything asked was done (a
// file in use or a trash that cannot take it is false, after the operation's own error box). Empty path
// raises error 5.
bool ShellDelete(IFileOperation& files, const QString& path, bool allowUndo, int flags);

} // namespace Common

#pragma once

#include "platform/fileop/FileOperation.h"

#include <QString>

// Copy and delete through the desktop shell's file operation, which shows its own progress window,
// questions and error boxes as the flags allow. These routines show nothing themselves.
namespace Common {

// Copies an existing file (not a folder, not a pattern) to target. False without touching anything when
// the source is no file; otherwise whether the shell did everything asked (a cancel, a denied write or a
// full disk is false). Empty paths raise error 5.
bool ShellCopy(IFileOperation& files, const QString& source, const QString& target, int flags);

// Copies a file, a folder with everything below it, or the entries a pattern in the last component
// matches ("folder/*.*" = every entry) by the shell's target rule, without looking at the source first.
// Returns the operation's own result, so that a missing source, a denied write, a full disk, a file in
// use or a cancel is never taken for a finished copy; a failure of the call itself is a failed result.
// Empty paths raise error 5.
FileOpResult ShellCopyNoCheck(IFileOperation& files, const QString& source, const QString& target, int flags);

// Deletes the path, into the desktop trash when allowUndo is set. Empty path raises error 5.
void ShellDelete(IFileOperation& files, const QString& path, bool allowUndo, int flags);

} // namespace Common

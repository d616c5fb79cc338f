#pragma once

#include "platform/fileop/FileOperation.h"
#include "platform/fileop/FileOperationUi.h"

#include <QString>

class QDateTime;
class IMessageBox;
class IScreenPointer;

// Backing up an application folder's data (the master database and the company folder) into a folder of
// its own, and restoring such a folder's contents. The backup is the backup library's (BackupMaker), shown
// in the file operation's progress window; the restore is a copy made by the shell file operation, which
// shows its own progress window, questions and error boxes as the flags allow.
namespace BackupRestore {

// "DB-" and the local time as yyyyMMddhhmmss (4-digit year, 24-hour clock, no separators): the name of
// a backup folder made at that time.
QString BackupFolderNameAt(const QDateTime& localTime);

// Replacing without a question, creating folders (528) when overwrite is on; otherwise asking before each
// replacement and creating folders without asking (512). Neither is silent: a long copy shows its progress
// window with its Cancel button whichever is chosen.
int CopyFlags(bool overwrite);

// Copies every entry of backupFolder into restoreTo. backupFolder is taken as typed and the pattern "*.*"
// is appended to it, so it names the folder's contents when it ends with a separator.
FileOpResult RestoreDatabase(IFileOperation& files, const QString& backupFolder, const QString& restoreTo,
                             int flags);

struct ActionServices
{
    IMessageBox& messages;
    IScreenPointer& screen;
    IFileOperation& files;
    IFileOperationUi& fileUi; // the progress window of the backup
};

enum class Outcome
{
    Declined,  // the user answered No
    Completed, // the done message was shown
    Failed,    // an error box said why
};

// The backup button: asks first (with the hourglass up), then makes the backup with the backup library:
// each database copied as one committed state, everything copied into a hidden folder beside the target,
// checked, and only then given the target's name, with its manifest beside it; a failure or a Cancel
// removes the hidden folder. Says "Backup Database Completed..." only for a backup that was made whole;
// otherwise the reason in its own box (none after Cancel) and "Backup Database Failed!!!". An existing
// target folder holding a backup is replaced only with overwrite or after a question; one holding
// anything else is refused, never emptied.
Outcome Backup(const ActionServices& services, const QString& source, const QString& target, bool overwrite);

// The restore button: asks first, refuses empty fields, copies, and says so only when the copy completed.
Outcome Restore(const ActionServices& services, const QString& backupFolder, const QString& restoreTo,
                bool overwrite);

} // namespace BackupRestore

#pragma once

#include "platform/fileop/FileOperation.h"

#include <QString>

class QDateTime;
class IMessageBox;
class IScreenPointer;

// Backing up an application folder's data (the master database and the company folder) into a folder of
// its own, and restoring such a folder's contents. The copies are plain file copies made by the shell
// file operation, which shows its own progress window, questions and error boxes as the flags allow.
namespace BackupRestore {

// "DB-" and the local time as yyyyMMddhhmmss (4-digit year, 24-hour clock, no separators): the name of
// a backup folder made at that time.
QString BackupFolderNameAt(const QDateTime& localTime);

// Silent, replacing without a question, creating folders (532) when overwrite is on; otherwise asking
// before each replacement and creating folders without asking (512).
int CopyFlags(bool overwrite);

// Copies source/MCLarkspur.mdb and source/CompanyData (with everything below it) into target, which is
// made first with every missing folder above it. Raises an AppError, with nothing written, when a path is
// empty (error 5), when target lies inside the company folder, or when target cannot be made a folder.
// Otherwise stops at the first copy that fails and returns its result; success when both copies did
// everything asked.
FileOpResult BackupDatabase(IFileOperation& files, const QString& source, const QString& target, int flags);

// Copies every entry of backupFolder into restoreTo. backupFolder is taken as typed and the pattern "*.*"
// is appended to it, so it names the folder's contents when it ends with a separator.
FileOpResult RestoreDatabase(IFileOperation& files, const QString& backupFolder, const QString& restoreTo,
                             int flags);

struct ActionServices
{
    IMessageBox& messages;
    IScreenPointer& screen;
    IFileOperation& files;
};

enum class Outcome
{
    Declined,  // the user answered No
    Completed, // the done message was shown
    Failed,    // an error box said why
};

// The backup button: asks first (with the hourglass up), copies while every database of the source is
// held in one committed state (HeldSource), checks the copy and writes its manifest beside it, and says
// "Backup Database Completed..." only for a copy that passed; a failed check is shown in its own box.
Outcome Backup(const ActionServices& services, const QString& source, const QString& target, bool overwrite);

// The restore button: asks first, refuses empty fields, copies, and says so only when the copy completed.
Outcome Restore(const ActionServices& services, const QString& backupFolder, const QString& restoreTo,
                bool overwrite);

} // namespace BackupRestore

#pragma once

#include "platform/FolderPicker.h"
#include "platform/MessageBox.h"
#include "platform/ScreenPointer.h"

#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

// Compaction of one database file chosen by the user, and the file-open dialog that chooses it.
namespace ComprimirAccess2000 {

inline constexpr int HideReadOnly = 4; // the dialog record's flag word

// The file-open dialog's record, kept by the module and reused by every call.
struct DialogRecord
{
    QString title;
    QString filter; // converted: description, NUL, pattern, NUL, ..., closed by one more NUL
    QString defaultExtension;
    int flags = 0;
};

// What the module uses and what it keeps between calls. The maintenance window owns one.
struct Module
{
    IMessageBox& messages;
    IFileOpenDialog& fileOpenDialog;
    IScreenPointer& pointer;
    IEventPump& events;
    QString toolFolder; // where the temporary copy is written

    DialogRecord dialog;
    bool LastCompactOK = false; // whether the last compaction replaced its file
};

// The compaction page's controls that the two actions read and write.
struct CompactionPage
{
    QLineEdit& txtCompactFileName;
    QLineEdit& TxtPassword;
    QLabel& lblOriginalSize;
    QLabel& lblFinalSize;
};

// Turns "description|pattern|..." into the record's filter: every "|" becomes a NUL and one NUL closes
// the list. Throws AppError 6 (Overflow) for a filter longer than 32767 characters.
void BuildDialogFilter(DialogRecord& record, const QString& filter);

// Shows the file-open dialog; returns the chosen file's full path, or the empty text when the user
// closes it without choosing. The default extension is passed through and not relied on.
QString OpenFileDialog(Module& module, const QString& title, const QString& filter,
                       const QString& defaultExtension);

// The fixed temporary file the compacted copy is written to: the tool's folder + "Temporal.mdb".
QString TempDatabase(const Module& module);

// "512 bytes", "1.50 Kb", "2.00 Mb", "3.25 Gb": two decimals with the user's decimal separator.
QString SizeText(qint64 bytes);
// SizeText of the file's length; "0 bytes" when it cannot be read.
QString FileSizeText(const QString& path);

// Compacts the database at path into TempDatabase and, when the copy passes its check and is not
// larger, puts it in the original's place in one step. Shows its own messages; a wrong or missing
// password moves the focus to passwordBox. Returns (and keeps in LastCompactOK) whether the file was
// replaced.
bool CompactDatabaseFile(Module& module, const QString& path, const QString& password, QWidget* passwordBox);

// What a compaction without a window did.
struct CompactionResult
{
    bool replaced = false; // false: the compacted copy was larger, and the original stays
    qint64 originalSize = 0;
    qint64 compactedSize = 0;
    QString warning; // set when the copy is in place but its folder could not be synced
};

// The compaction itself, with the temporary copy "Temporal.mdb" in toolFolder and no message shown:
// locks, compacts, checks the copy and puts it in place when it is not larger. Throws AppError
// (WrongPassword for a wrong or missing password) with the original untouched.
CompactionResult CompactFileInFolder(const QString& toolFolder, const QString& path, const QString& password);

// The page's two buttons.
void cmdSelectFile(Module& module, const CompactionPage& page);
void cmdCompactDatabase(Module& module, const CompactionPage& page);

} // namespace ComprimirAccess2000

#pragma once

#include <QString>

// Flag words of the shell file operation, with the values the callers pass (512 for a copy that creates
// its target folders, 532 for a silent copy that replaces without asking, 16 plus allow-undo to delete).
namespace Fof {
inline constexpr int Silent = 0x4;           // no progress window (questions and error boxes still appear)
inline constexpr int NoConfirmation = 0x10;  // every question answered yes: replace, delete, create folders
inline constexpr int AllowUndo = 0x40;       // delete into the desktop trash instead of removing
inline constexpr int NoConfirmMkdir = 0x200; // create missing target folders without asking
} // namespace Fof

// Why an operation stopped; None when it did everything asked (a file the user chose not to replace
// counts as done).
enum class FileOpFailure
{
    None,
    Cancelled,     // the user pressed Cancel, or answered No to the opening delete or create-folder question
    MissingSource, // the source (or the file to delete) does not exist
    AccessDenied,  // a read or write the system refused
    DiskFull,      // no space left, or the file size limit reached
    InUse,         // another program holds the file open (a database engine's lock)
    NoTrash,       // delete with undo, and no trash can take the item: nothing deleted
    Invalid,       // a request that cannot be carried out (a folder over a file, a copy onto itself)
    Other,         // any other system error; the text says which
};

struct FileOpResult
{
    bool ok = true;         // everything asked was done
    bool cancelled = false; // the user stopped it
    QString error;          // a sentence for the user; empty when ok
    FileOpFailure failure = FileOpFailure::None;

    static FileOpResult success() { return {}; }
    static FileOpResult failed(FileOpFailure why, const QString& text)
    {
        return {false, why == FileOpFailure::Cancelled, text, why};
    }
};

// The desktop shell's copy and delete: one synchronous call that shows its own progress window,
// questions and error boxes as its flags allow. Sources may be a file, a folder (copied or deleted with
// everything below it) or a pattern in the last component ("dir/*.*" = every entry, "*.mdb" matches the
// extension in any case). Copy target rule: an existing folder receives each source item under its own
// name; a missing target names a single source's copy, or the new folder that receives a pattern's items.
class IFileOperation
{
public:
    virtual ~IFileOperation() = default;
    virtual FileOpResult copy(const QString& source, const QString& target, int flags) = 0;
    virtual FileOpResult remove(const QString& path, int flags) = 0;
};

#pragma once

#include <QString>

// The answers a person can give when a copy meets an existing file.
enum class ReplaceAnswer
{
    Yes,
    YesToAll,
    No,
    Cancel
};

// What the shell file operation shows: its progress window, its questions and its error box. The
// operation runs on the user interface thread; cancelRequested() is where it lets pending events run
// between chunks, so the progress window repaints and its Cancel button can be pressed.
class IFileOperationUi
{
public:
    virtual ~IFileOperationUi() = default;

    // caption: what is being done ("Copying"); totalBytes: all the data the operation will copy.
    virtual void progressStarted(const QString& caption, qint64 totalBytes) = 0;
    virtual void progressUpdate(const QString& currentFile, qint64 bytesDone, qint64 totalBytes) = 0;
    virtual bool cancelRequested() = 0;
    virtual void progressFinished() = 0;

    // target: the existing file; source: the file that would replace it.
    virtual ReplaceAnswer askReplace(const QString& target, const QString& source) = 0;
    // True to go ahead. what: the path, or the pattern ("folder/*.mdb") when it names several items.
    virtual bool askDelete(const QString& what, bool toTrash) = 0;
    virtual bool askCreateFolder(const QString& folder) = 0;

    virtual void showError(const QString& text) = 0;
};

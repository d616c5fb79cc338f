#pragma once

#include <QString>

// A folder chooser with a prompt and a start folder; returns the chosen folder's full path without a
// trailing separator (a root stays "/"), or the empty text when cancelled.
class IFolderPicker
{
public:
    virtual ~IFolderPicker() = default;
    virtual QString browse(const QString& startFolder, const QString& prompt) = 0;
};

// A file-open dialog; filter in the form "description|pattern|description|pattern". Returns the chosen
// file's full path or the empty text when cancelled.
class IFileOpenDialog
{
public:
    virtual ~IFileOpenDialog() = default;
    virtual QString open(const QString& title, const QString& filter, const QString& defaultExtension) = 0;
};

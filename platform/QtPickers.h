#pragma once

#include "platform/FolderPicker.h"

#include <QStringList>

// The folder chooser as QFileDialog::getExistingDirectory: the prompt is the caption, the start folder is
// preselected.
class QtFolderPicker : public IFolderPicker
{
public:
    QString browse(const QString& startFolder, const QString& prompt) override;
};

// The file-open dialog as a QFileDialog for one existing file, with the "|"-separated filter turned into
// Qt's name filters. Patterns match names ignoring case. The default extension matters only when saving
// and is not used.
class QtFileOpenDialog : public IFileOpenDialog
{
public:
    QString open(const QString& title, const QString& filter, const QString& defaultExtension) override;
};

// "Access Databases|*.mdb" -> {"Access Databases (*.mdb)"}: one name filter per description and
// pattern; several patterns joined by ";" are listed with blanks. An empty description ends the list (so
// a trailing "|" adds nothing), and a description without a pattern gives an entry that shows every file.
QStringList dialogNameFilters(const QString& filter);

// The name filters with each pattern also in upper case ("*.mdb" -> "*.mdb *.MDB"), for dialogs that
// match patterns by case and take no option to do otherwise.
QStringList withUpperCasePatterns(const QStringList& nameFilters);

#pragma once

#include <QString>

class IFolderPicker;

// Lets the user choose a folder, opening with startFolder selected (the picker's own default when it is
// empty or does not exist) and showing the prompt. Returns the chosen folder's full path without a
// trailing separator, except the root, which keeps its own ("/"); the empty text when cancelled.
QString BrowseForFolder(IFolderPicker& picker, const QString& startFolder, const QString& prompt);

#pragma once

#include <QString>

class IFolderPicker;

// Lets the user choose a folder in the desktop's folder dialog, titled with the prompt and opened on the
// start folder (an empty or missing start folder leaves the dialog's own default). Returns the chosen
// folder's full path: a filesystem root with its separator ("/"), any other folder without a trailing
// one; the empty text when the user cancelled.
QString BrowseForFolder(IFolderPicker& picker, const QString& startFolder, const QString& prompt);

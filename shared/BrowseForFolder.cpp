#include "shared/BrowseForFolder.h"

#include "platform/FolderPicker.h"

QString BrowseForFolder(IFolderPicker& picker, const QString& startFolder, const QString& prompt)
{
    QString chosen = picker.browse(startFolder, prompt);
    // Callers append "/<name>" to the result; a trailing separator would double it for every folder
    // but the root, whose separator is the whole path.
    while (chosen.size() > 1 && chosen.endsWith(QLatin1Char('/')))
        chosen.chop(1);
    return chosen;
}

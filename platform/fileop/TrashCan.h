#pragma once

#include <QString>

// The freedesktop trash, through QFile::moveToTrash. Before a move it makes sure the user's own trash
// ($XDG_DATA_HOME, or ~/.local/share, + "/Trash") exists: without it Qt "succeeds" by putting a trash in the
// current folder.
namespace TrashCan {

// True when the item now lies in a trash. On failure nothing was moved and reason says why.
bool moveToTrash(const QString& path, QString* reason = nullptr);

// The user's own trash folder ($XDG_DATA_HOME/Trash).
QString homeTrash();

} // namespace TrashCan

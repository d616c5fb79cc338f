#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// What a folder holds, everything below it included, as a map from relative path to what is there: a
// regular file's bytes, or "<folder>", "<link to ...>", "<fifo>", "<device>" for the rest. Links are
// not followed and nothing but regular files is opened, so a FIFO or a device can be in the folder.
// Two snapshots compare equal when nothing was added, removed, replaced or changed.
namespace DiskSnapshot {
using Snapshot = QMap<QString, QByteArray>;
Snapshot take(const QString& folder);
// The paths whose entries differ between two snapshots, for a readable failure.
QString differences(const Snapshot& before, const Snapshot& after);
} // namespace DiskSnapshot

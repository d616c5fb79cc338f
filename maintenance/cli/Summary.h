#pragma once

#include <QString>

// The one line a command prints when it ends, fit for a log.
namespace Summary {

// "backup /data/Backup/DB-20240131235958: 9 files, 1048576 bytes, 0.42 s, verified"
QString line(const QString& command, const QString& what, int files, qint64 bytes, qint64 milliseconds,
             bool verified);

} // namespace Summary

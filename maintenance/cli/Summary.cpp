#include "maintenance/cli/Summary.h"

namespace Summary {

QString line(const QString& command, const QString& what, int files, qint64 bytes, qint64 milliseconds,
             bool verified)
{
    return QStringLiteral("%1 %2: %3 files, %4 bytes, %5 s, %6")
        .arg(command, what)
        .arg(files)
        .arg(bytes)
        .arg(double(milliseconds) / 1000.0, 0, 'f', 2)
        .arg(verified ? QStringLiteral("verified") : QStringLiteral("not verified"));
}

} // namespace Summary

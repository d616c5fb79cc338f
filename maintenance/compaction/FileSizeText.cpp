#include "maintenance/compaction/ComprimirAccess2000.h"

#include "base/PathJoin.h"

#include <QFileInfo>
#include <QLocale>

namespace ComprimirAccess2000 {

namespace {

// "0.00" in the user's decimal separator, without a thousands separator ("1024.00").
QString twoDecimals(double value)
{
    return QString::number(value, 'f', 2).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

} // namespace

QString TempDatabase(const Module& module)
{
    return joinPath({module.toolFolder, QStringLiteral("Temporal.mdb")});
}

QString SizeText(qint64 bytes)
{
    constexpr qint64 Kb = 1024;
    constexpr qint64 Mb = 1024 * Kb;
    constexpr qint64 Gb = 1024 * Mb;
    if (bytes < Kb)
        return QString::number(bytes) + QStringLiteral(" bytes");
    if (bytes < Mb)
        return twoDecimals(double(bytes) / double(Kb)) + QStringLiteral(" Kb");
    if (bytes < Gb)
        return twoDecimals(double(bytes) / double(Mb)) + QStringLiteral(" Mb");
    return twoDecimals(double(bytes) / double(Gb)) + QStringLiteral(" Gb");
}

QString FileSizeText(const QString& path)
{
    const QFileInfo info(path);
    return SizeText(info.isFile() ? info.size() : 0);
}

} // namespace ComprimirAccess2000

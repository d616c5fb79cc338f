#include "shared/AppFolder.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "engine/ConnectionString.h"

namespace AppFolder {

namespace {

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x2029);
}

// The name as a message can show it: a control character would garble the box, so it shows as "?".
QString printable(QString name)
{
    for (QChar& c : name) {
        if (isControl(c))
            c = QLatin1Char('?');
    }
    return name;
}

} // namespace

QString MasterDataLinkReference(const QString& appFolder)
{
    return QStringLiteral("FILE NAME=") + joinPath({appFolder, MasterDataLinkName});
}

QString JetConnectionString(const QString& databasePath)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
           ConnectionString::quoteValue(databasePath) +
           QStringLiteral(";Persist Security Info=False;Jet OLEDB:Database Password=") +
           ConnectionString::quoteValue(CommonPassword) + QStringLiteral(";Jet OLEDB:Engine Type=5");
}

QString companyDataFolder(const QString& databasePath)
{
    return joinPath({databasePath, CompanyDataFolderName});
}

QString templateDatabasePath(const QString& databasePath)
{
    return joinPath({databasePath, CompanyDataFolderName, TemplateDatabaseName});
}

QString companyFolder(const QString& databasePath, std::int16_t companyId)
{
    return joinPath({databasePath, CompanyDataFolderName, QString::number(companyId)});
}

bool isPlainFileName(const QString& databaseName)
{
    if (databaseName.isEmpty() || databaseName == QLatin1String(".") || databaseName == QLatin1String(".."))
        return false;
    for (const QChar c : databaseName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || isControl(c))
            return false;
    }
    return true;
}

QString companyDatabasePath(const QString& databasePath, std::int16_t companyId, const QString& databaseName)
{
    if (!isPlainFileName(databaseName)) {
        const QString why = databaseName.isEmpty()
                                ? QStringLiteral("The company %1 has no database name.").arg(companyId)
                                : QStringLiteral("The database name \"%1\" of the company %2 is not a plain "
                                                 "file name.")
                                      .arg(printable(databaseName))
                                      .arg(companyId);
        throw AppError(ErrorNumber::BadFileNameOrNumber,
                       why + QStringLiteral(" A company's database must be a file in its own folder %1; "
                                            "correct the name in the company's edit dialog.")
                                 .arg(companyFolder(databasePath, companyId)));
    }
    return joinPath({companyFolder(databasePath, companyId), databaseName});
}

QString defaultDatabaseName(std::int16_t companyId)
{
    return QString::number(companyId) + QStringLiteral(".mdb");
}

} // namespace AppFolder

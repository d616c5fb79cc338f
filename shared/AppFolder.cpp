#include "shared/AppFolder.h"

#include "base/PathJoin.h"
#include "engine/ConnectionString.h"

namespace AppFolder {

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

QString companyDatabasePath(const QString& databasePath, std::int16_t companyId, const QString& databaseName)
{
    return joinPath({databasePath, CompanyDataFolderName, QString::number(companyId), databaseName});
}

QString defaultDatabaseName(std::int16_t companyId)
{
    return QString::number(companyId) + QStringLiteral(".mdb");
}

} // namespace AppFolder

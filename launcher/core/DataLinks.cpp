#include "launcher/core/DataLinks.h"

#include "base/PathJoin.h"
#include "engine/ConnectionString.h"
#include "engine/DataLinkFile.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "shared/AppFolder.h"

namespace DataLinks {

QString TestConnectionString(const QString& databasePath)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
           ConnectionString::quoteValue(databasePath) +
           QStringLiteral(";Mode=Share Deny None;Persist Security Info=True;Jet OLEDB:Database Password=") +
           AppFolder::CommonPassword;
}

void CreateUDLFile(const QString& ConnectionString, const QString& FileName)
{
    DataLinkFile::write(FileName, ConnectionString);
}

bool WriteCompanyDataLink(LauncherGlobals& globals, const QString& appFolder, std::int16_t companyId)
{
    const QString databasePath = AppFolder::companyDatabasePath(
        globals.DatabasePath, companyId, MdlDAO::GetCompanyDatabaseName(globals, companyId));
    CreateUDLFile(AppFolder::JetConnectionString(databasePath),
                  joinPath({appFolder, AppFolder::CompanyDataLinkName}));
    return true;
}

bool WriteMasterDataLink(const QString& appFolder, const QString& masterFolder)
{
    CreateUDLFile(AppFolder::JetConnectionString(joinPath({masterFolder, AppFolder::MasterDatabaseName})),
                  joinPath({appFolder, AppFolder::MasterDataLinkName}));
    return true;
}

} // namespace DataLinks

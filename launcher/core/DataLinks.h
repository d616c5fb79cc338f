#pragma once

#include <QString>
#include <cstdint>

struct LauncherGlobals;

// The connection strings of the launcher and the data-link files that carry them.
namespace DataLinks {

// The one password that protects the master database and every company database.
inline const QString CommonPassword = QStringLiteral("Marigold4817");
inline const QString MasterDataLinkName = QStringLiteral("MCdatalink.udl");
inline const QString CompanyDataLinkName = QStringLiteral("datalink.udl");
inline const QString MasterDatabaseName = QStringLiteral("MCLarkspur.mdb");

// "FILE NAME=<folder>/MCdatalink.udl"
QString MasterDataLinkReference(const QString& appFolder);
// The direct form written into data-link files.
QString JetConnectionString(const QString& databasePath);
// The form the connection tests use ("$connection" replaced by the path).
QString TestConnectionString(const QString& databasePath);

// Writes a data-link file: UTF-16LE with byte-order mark, "[oledb]", the comment line, the connection
// string, each line ended by CR LF. The file is replaced whole or not at all.
void CreateUDLFile(const QString& ConnectionString, const QString& FileName);

// datalink.udl in the application folder, naming company N's database under DatabasePath. Raises error
// 52, writing nothing, when the company's database name is not a plain file name (or it has none).
bool WriteCompanyDataLink(LauncherGlobals& globals, const QString& appFolder, std::int16_t companyId);
// MCdatalink.udl in the application folder, naming MCLarkspur.mdb in the given folder.
bool WriteMasterDataLink(const QString& appFolder, const QString& masterFolder);

} // namespace DataLinks

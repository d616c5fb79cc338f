#pragma once

#include <QString>
#include <cstdint>

struct LauncherGlobals;

// The launcher's data-link files and the connection strings they carry.
namespace DataLinks {

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

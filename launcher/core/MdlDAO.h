#pragma once

#include "engine/Recordset.h"

#include <QString>
#include <cstdint>

struct LauncherGlobals;
class ISettingsStore;
class IFileOperation;

// The routines through which the launcher reads and writes the master database, all on the one shared
// master connection. Routines documented "traps errors" return their failure value and show nothing; the
// others let the AppError reach their caller.
namespace MdlDAO {

// The shared master connection; raises why it could not be opened at start when it is not open.
Connection& GetConnection(LauncherGlobals& globals);

std::int16_t GetCurrentCompanyID(LauncherGlobals& globals, const ISettingsStore& settings);
bool SetCurrentCompanyID(LauncherGlobals& globals, std::int16_t companyId); // traps errors
Recordset GetCompanyByID(LauncherGlobals& globals, std::int16_t companyId);
QString GetCompanyDatabaseName(LauncherGlobals& globals, std::int16_t companyId);
Recordset GetCompanyList(LauncherGlobals& globals);
std::int32_t GetNextID(LauncherGlobals& globals, const QString& tableName, const QString& fieldName,
                       const QString& condition);
QString GetDatabasePath(LauncherGlobals& globals);
bool SetDatabasePath(LauncherGlobals& globals, const QString& folder); // traps errors
QString GetUseDefaultPath(LauncherGlobals& globals);
bool SetUseDefaultPath(LauncherGlobals& globals, const QString& value); // traps errors

// Probes of the schema upgrade; each traps its errors.
bool HasDatabasePathConfig(LauncherGlobals& globals);
bool ColumnExists(LauncherGlobals& globals, const QString& tableName, const QString& columnName);
std::int16_t GetColumnSize(LauncherGlobals& globals, const QString& tableName, const QString& columnName);

// Company records and their database files.
// Adds a company with the next free identifier and gives it a fresh copy of the template database. An
// identifier whose folder exists already is passed by, so no older file is ever replaced or adopted.
// False, with no row and no folder left behind, when anything failed (no template or one that does not
// open as a database, identifiers used up, the copy failed or was cancelled). Traps errors.
bool AddCompany(LauncherGlobals& globals, IFileOperation& files, const QString& companyName);
// Copies the template into the company's own folder; whether the copy was done.
bool CreateCompanyDatabase(LauncherGlobals& globals, IFileOperation& files, std::int16_t companyId);
// Removes what adds that were killed left under CompanyData (partial copies, the folders of companies
// that never got their row), as their markers in the folder of adds in progress name them. Traps errors;
// what it could not clean up is described on standard error.
void RecoverInterruptedAdds(LauncherGlobals& globals);
// False, changing nothing, when the database name is not a plain file name.
bool UpdateCompany(LauncherGlobals& globals, std::int16_t companyId, const QString& companyName,
                   const QString& companyPath, const QString& databaseName, std::int16_t isSelect,
                   std::int16_t isDeleted); // traps errors
// Deletes the row (never the files); a deleted company stops being the current one, in the master and
// in the "companyid" setting. Traps errors.
bool DeleteCompany(LauncherGlobals& globals, ISettingsStore& settings, std::int16_t companyId);

// Company N as the windows need it before they name its database: whether its row still exists, its
// name, and its database's path, or why there is none (a database name that is not a plain file name).
struct CompanyDatabase
{
    bool exists = false;
    QString companyName;
    QString path;
    QString problem;
};
CompanyDatabase FindCompanyDatabase(LauncherGlobals& globals, std::int16_t companyId);

} // namespace MdlDAO

#pragma once

#include <QString>
#include <cstdint>

// The facts both programs share about an application folder: the names of its files and folders, where
// a company's database lies, and the one password that protects the master and every company database.
//
//     <app folder>/MCdatalink.udl -> <folder>/MCLarkspur.mdb     (the master database)
//     <app folder>/datalink.udl   -> the chosen company's database
//     <DatabasePath>/CompanyData/Larkspur.mdb                     (the template of a new company)
//     <DatabasePath>/CompanyData/<id>/<DATABASE_NAME>             (a company's database)
namespace AppFolder {

inline const QString CommonPassword = QStringLiteral("Marigold4817");
inline const QString MasterDataLinkName = QStringLiteral("MCdatalink.udl");
inline const QString CompanyDataLinkName = QStringLiteral("datalink.udl");
inline const QString MasterDatabaseName = QStringLiteral("MCLarkspur.mdb");
inline const QString CompanyDataFolderName = QStringLiteral("CompanyData");
inline const QString TemplateDatabaseName = QStringLiteral("Larkspur.mdb");
inline const QString AccountingProgramName = QStringLiteral("Larkspur.exe");

// "FILE NAME=<folder>/MCdatalink.udl"
QString MasterDataLinkReference(const QString& appFolder);
// The connection string that data-link files carry for a database protected with the common password.
QString JetConnectionString(const QString& databasePath);

// <databasePath>/CompanyData: the pieces are joined as given, so a DatabasePath that ends with a
// separator yields a doubled one, as the data files have always recorded it.
QString companyDataFolder(const QString& databasePath);
// <databasePath>/CompanyData/Larkspur.mdb
QString templateDatabasePath(const QString& databasePath);
// <databasePath>/CompanyData/<id>
QString companyFolder(const QString& databasePath, std::int16_t companyId);
// A database name is a plain file name: not empty, not "." or "..", no separator ("/" or "\\") and no
// control character.
bool isPlainFileName(const QString& databaseName);
// <databasePath>/CompanyData/<id>/<databaseName>. Every path to a company's database is built here, so
// that no stored database name, whoever wrote it into the master, can lead outside the company's own
// folder: raises error 52 naming the company and the name when the name is not a plain file name.
QString companyDatabasePath(const QString& databasePath, std::int16_t companyId, const QString& databaseName);
// "<id>.mdb", the name a new company's database is given.
QString defaultDatabaseName(std::int16_t companyId);

} // namespace AppFolder

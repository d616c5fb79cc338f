#pragma once

#include <QString>
#include <cstdint>

// Where a company's files lie under the data folder. Every path to a company's database is built by
// companyDatabasePath, so that no stored database name, whoever wrote it into the master, can lead
// outside the company's own folder.
namespace CompanyPaths {

// <data folder>/CompanyData
QString companyDataFolder(const QString& databasePath);
// <data folder>/CompanyData/Larkspur.mdb, the template of new company databases.
QString templatePath(const QString& databasePath);
// <data folder>/CompanyData/N
QString companyFolder(const QString& databasePath, std::int16_t companyId);

// A database name is a plain file name: not empty, not "." or "..", no separator ("/" or "\") and no
// control character.
bool isPlainFileName(const QString& databaseName);

// <data folder>/CompanyData/N/<database name>. Raises error 52 naming the company and the name when the
// name is not a plain file name.
QString companyDatabasePath(const QString& databasePath, std::int16_t companyId, const QString& databaseName);

} // namespace CompanyPaths

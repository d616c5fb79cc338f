#pragma once

#include <QString>

// Lays out the data of a fresh application folder: MCdatalink.udl, the master database MCLarkspur.mdb,
// the template company database CompanyData/Larkspur.mdb and N demo companies (CompanyData/N/N.mdb with
// their Company rows), every database protected with the common password.
namespace AppFolderMaker {

struct Options
{
    bool legacyMaster = false; // the older master: no DATABASE_PATH, no path rows, Config_Value of 50
    int companies = 0;
};

// Throws AppError when the folder cannot be laid out; refuses to overwrite an existing master database.
void make(const QString& folder, const Options& options);

} // namespace AppFolderMaker

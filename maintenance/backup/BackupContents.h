#pragma once

#include <QList>
#include <QString>

// What a backup of an application folder holds: its master database and its company folder with
// everything below it, as paths relative to the application folder (and so to the backup folder).
namespace BackupContents {

struct File
{
    QString relative; // "MCLarkspur.mdb", "CompanyData/1/1.mdb"
    qint64 size = 0;
    bool database = false; // copied under its read lock with its journal, and checked as a database
};

struct Listing
{
    QStringList folders; // relative, parents first: "CompanyData", "CompanyData/1"
    QList<File> files;
    qint64 totalBytes = 0;
};

// A file named like a database (".mdb" in any case) rather than a journal or any other file.
bool isDatabaseName(const QString& name);
// The rollback journal beside a database file.
QString journalOf(const QString& path);

// Lists root's backup contents. Throws AppError naming the path when root holds no master database, or
// when something below the company folder is neither a folder nor a regular file (a link, a pipe), which
// a backup would not hold as it is. Journals are left out: each travels with its database.
Listing list(const QString& root);

// Lists every file below folder as paths relative to it (folders parents first); for checking a backup
// against its manifest. Throws AppError naming what is neither a folder nor a regular file.
Listing listAll(const QString& folder);

} // namespace BackupContents

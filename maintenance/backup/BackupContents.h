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
    // What was passed by, one sentence each naming it: links (never followed), pipes, sockets, devices.
    QStringList skipped;
};

// A name that copies and restores give a file while they write it beside its place (".<name>.XXXXXX" of
// the file operation and of a new company, ".<name>.restoring" and ".<name>.replaced" of a restore): one
// left by a copy killed
// part-way. Backups pass such files by.
bool isLeftover(const QString& name);
// A file named like a database (".mdb" in any case) rather than a journal or any other file.
bool isDatabaseName(const QString& name);
// The rollback journal beside a database file.
QString journalOf(const QString& path);

// Lists root's backup contents. Throws AppError naming the path when root holds no master database.
// Below the company folder, links are never followed and, like pipes, sockets and devices, are passed by
// and named in skipped. Journals are left out: each travels with its database. The listing holds one
// entry per file and folder (its relative path and size, about 100 bytes with a short path), so it grows
// with the tree: some 7 MiB for 32767 companies; the walk itself holds one folder's entries at a time per
// level.
Listing list(const QString& root);

// Lists every file below folder as paths relative to it (folders parents first); for checking a backup
// against its manifest. What is neither a folder nor a regular file is named in skipped.
Listing listAll(const QString& folder);

} // namespace BackupContents

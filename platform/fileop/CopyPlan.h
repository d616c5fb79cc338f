#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What one copy request means on disk: the target folders to create first, then every folder and file
// to write, parents before their contents. Built before anything is written, so that a missing source
// or an impossible request is reported with nothing touched.
struct CopyPlan
{
    struct Item
    {
        QString source;
        QString target;
        bool folder = false;
        qint64 size = 0; // file data, journal included
        QString journal; // "<source>-journal" when the database's rollback journal travels with it
        qint64 journalSize = 0;
    };

    QString missingSource;       // set when the source (or a pattern's folder) does not exist
    QString invalid;             // set when the request cannot be carried out; a sentence for the user
    QStringList foldersToCreate; // missing folders on the target's path, outermost first
    QList<Item> items;
    qint64 totalBytes = 0;

    static CopyPlan make(const QString& source, const QString& target);
    // The journal name of a database file.
    static QString journalOf(const QString& file) { return file + QStringLiteral("-journal"); }
};

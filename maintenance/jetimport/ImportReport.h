#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace JetImport {

// What the import of one Jet database did.
struct DatabaseReport
{
    QString source;
    QString target;
    QString format; // "Jet 3", "Jet 4" ...
    int tables = 0;
    qint64 rows = 0;
    QStringList notConverted; // one line for each object or part that was not carried over
};

// How far an import is: the table being written or checked, and rows done of the rows there are.
struct ImportProgress
{
    QString file;
    QString step; // "converting" or "checking"
    QString table;
    qint64 rowsDone = 0;
    qint64 rowsTotal = 0;
};
using ProgressSink = std::function<void(const ImportProgress&)>;

struct ImportOptions
{
    int codePage = 0;      // Jet 3 text: the Windows code page; 0 takes the one the file names
    QString password;      // the password of the new database
    ProgressSink progress; // may be empty
};

} // namespace JetImport

#pragma once

#include "maintenance/jetimport/JetSchema.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>

// Reading a Jet database file (Jet 3, Jet 4 and the newer ACE files where the reading library knows
// them) through Debian's libmdb; the only code that sees that library's types. The file is opened for
// reading only.
namespace JetImport {

class JetTableReader;

class JetDatabase
{
public:
    // How many first bytes tell whether a file is a Jet database.
    static constexpr int HeaderSize = 20; // DatabaseFile::JetHeaderSize
    // Whether the first bytes are a Jet or ACE database's ("Standard Jet DB", "Standard ACE DB").
    static bool hasJetHeader(const QByteArray& firstBytes);
    static bool isJetFile(const QString& path);
    // Whether text in the code page can be read here (Windows code page numbers: 874, 1252 ...).
    static bool isKnownCodePage(int codePage);

    // codePage: the Windows code page of a Jet 3 file's text; 0 takes the one the file names. Jet 4 and
    // later keep their text in Unicode and ignore it. A file that cannot be read raises AppError
    // (Unspecified) naming the file and the cause.
    explicit JetDatabase(const QString& path, int codePage = 0);
    ~JetDatabase();
    JetDatabase(const JetDatabase&) = delete;
    JetDatabase& operator=(const JetDatabase&) = delete;

    QString path() const;
    QString formatName() const;     // "Jet 3", "Jet 4", "ACE 12" ...
    QStringList tableNames() const; // the user tables, in the order of the file's catalogue
    // The objects that are no table and are not carried over (queries, relationships, forms, reports,
    // macros, modules, linked tables), one line each.
    QStringList objectsNotConverted() const;
    // Reads the table's description and positions before its first row.
    std::unique_ptr<JetTableReader> openTable(const QString& name);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The rows of one table, streamed: one row in memory at a time.
class JetTableReader
{
public:
    ~JetTableReader();
    JetTableReader(const JetTableReader&) = delete;
    JetTableReader& operator=(const JetTableReader&) = delete;

    const JetTable& table() const;
    // The next row's values in the order of table().columns; false after the last row. Values: an
    // invalid QVariant for Null; qlonglong for Yes/No (-1 or 0) and the whole numbers; double for
    // Single and Double; QString for text, dates ("YYYY-MM-DD HH:MM:SS"), replication IDs ("{...}") and
    // the exact decimal text of Currency (four decimals) and Decimal (its scale); QByteArray for OLE
    // objects and binary columns. A value that cannot be read raises AppError naming table, column and
    // row.
    bool next(QVector<QVariant>& values);
    qint64 rowsRead() const;

private:
    friend class JetDatabase;
    struct Impl;
    explicit JetTableReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace JetImport

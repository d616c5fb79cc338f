#include "maintenance/jetimport/DatabaseImport.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "base/UniqueFd.h"
#include "engine/SqlText.h"
#include "engine/Sqlite.h"
#include "maintenance/jetimport/DatabaseComparison.h"
#include "maintenance/jetimport/FilePlacement.h"
#include "maintenance/jetimport/JetDatabase.h"
#include "maintenance/jetimport/RowPrefetch.h"
#include "maintenance/jetimport/StoredValues.h"
#include "maintenance/jetimport/TableDdl.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace JetImport {

namespace {

constexpr qint64 ProgressEvery = 1000;

// The file being written: once made, removed with any journal of it unless it was put in place.
class WorkingFile
{
public:
    explicit WorkingFile(QString path) : m_path(std::move(path)) {}
    ~WorkingFile()
    {
        if (!m_made || m_kept)
            return;
        QFile::remove(m_path);
        QFile::remove(m_path + QStringLiteral("-journal"));
    }
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;

    const QString& path() const { return m_path; }
    // Creates the file, empty, and opens it protected with the password; a file that another process
    // made meanwhile is refused and left to its owner.
    Sqlite::Database make(const QString& password)
    {
        const QByteArray local = QFile::encodeName(m_path);
        if (!UniqueFd(::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)))
            throw AppError(
                ErrorNumber::Unspecified,
                QStringLiteral("the new file '%1' cannot be made: %2.").arg(m_path, systemErrorText(errno)));
        m_made = true;
        sqlite3* opened = nullptr;
        const int rc = sqlite3_open_v2(local.constData(), &opened, SQLITE_OPEN_READWRITE, nullptr);
        Sqlite::Database db(opened);
        if (rc != SQLITE_OK)
            throw Sqlite::errorFor(db.get(), rc, m_path, QString());
        // The key is derived from the password once, here: this one connection writes the file and
        // reads it back for the check.
        const QByteArray key = password.toUtf8();
        if (!key.isEmpty())
            sqlite3_key(db.get(), key.constData(), static_cast<int>(key.size()));
        return db;
    }
    // Closes the connection, reporting a failure to finish the file.
    void close(Sqlite::Database db)
    {
        if (sqlite3_close(db.get()) != SQLITE_OK)
            throw Sqlite::errorFor(db.get(), SQLITE_ERROR, m_path, QString());
        static_cast<void>(db.release());
    }
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_made = false;
    bool m_kept = false;
};

bool pathExists(const QString& path)
{
    struct stat status
    {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 || errno != ENOENT;
}

void report(const ImportOptions& options, const QString& file, const QString& table, qint64 done,
            qint64 total)
{
    if (options.progress)
        options.progress({file, QStringLiteral("converting"), table, done, total});
}

void writeTable(sqlite3* db, const QString& path, JetDatabase& jet, const QString& name,
                const ImportOptions& options, DatabaseReport& result)
{
    const auto reader = jet.openTable(name);
    const JetTable& table = reader->table();
    const TableDdl ddl = tableDdl(table);
    Sqlite::exec(db, ddl.createTable, path);

    QStringList columns;
    QStringList places;
    if (ddl.rowKeyColumn < 0) {
        columns.append(QStringLiteral("rowid"));
        places.append(QStringLiteral("?"));
    }
    for (const JetColumn& column : table.columns) {
        columns.append(SqlText::quoteIdentifier(column.name));
        places.append(QStringLiteral("?"));
    }
    Sqlite::exec(db, QStringLiteral("BEGIN"), path);
    Sqlite::Statement insert(db,
                             QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(SqlText::quoteIdentifier(table.name),
                                      columns.join(QStringLiteral(", ")), places.join(QStringLiteral(", "))),
                             path);
    QVector<QVariant> values;
    qint64 rows = 0;
    report(options, jet.path(), table.name, 0, table.rowCount);
    RowPrefetch ahead(*reader);
    while (ahead.next(values)) {
        ++rows;
        int place = 1;
        if (ddl.rowKeyColumn < 0)
            insert.bind(place++, QVariant(rows));
        for (int c = 0; c < table.columns.size(); ++c)
            insert.bind(place++, storedValue(table.columns[c], values[c]));
        insert.step();
        insert.reset();
        if (rows % ProgressEvery == 0)
            report(options, jet.path(), table.name, rows, table.rowCount);
    }
    // A table whose pages end early (a truncated or damaged file) yields fewer rows than it counts.
    if (rows != table.rowCount)
        throw AppError(ErrorNumber::Unspecified,
                       QStringLiteral("table '%1' counts %2 rows but %3 could be read; the file is damaged")
                           .arg(table.name)
                           .arg(table.rowCount)
                           .arg(rows));
    Sqlite::exec(db, QStringLiteral("COMMIT"), path);
    for (const QString& statement : ddl.afterRows)
        Sqlite::exec(db, statement, path);
    report(options, jet.path(), table.name, rows, rows);

    result.tables += 1;
    result.rows += rows;
    result.notConverted += table.notConverted;
}

} // namespace

DatabaseReport importDatabase(const QString& source, const QString& target, const ImportOptions& options)
{
    if (pathExists(target))
        throw AppError(ErrorNumber::Unspecified,
                       QStringLiteral("'%1' exists already; the import writes only new files and has left it "
                                      "as it is.")
                           .arg(target));
    DatabaseReport result;
    result.source = source;
    result.target = target;
    try {
        WorkingFile working(FilePlacement::workingNameFor(target));
        {
            JetDatabase jet(source, options.codePage);
            result.format = jet.formatName();
            result.notConverted = jet.objectsNotConverted();
            Sqlite::Database written = working.make(options.password);
            sqlite3* db = written.get();
            // The working file is thrown away on any failure and synced as a whole before it is put in
            // place, so neither a journal nor a sync per transaction protects anything while it is made.
            Sqlite::exec(db, QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF"),
                         working.path());
            for (const QString& name : jet.tableNames())
                writeTable(db, working.path(), jet, name, options, result);
            compareWithSource(source, db, working.path(), options);
            working.close(std::move(written));
        }
        FilePlacement::syncFile(working.path());
        FilePlacement::renameNew(working.path(), target);
        working.keep();
        FilePlacement::syncFolder(QFileInfo(target).path());
    } catch (const AppError& error) {
        throw AppError(error.number(),
                       QStringLiteral("'%1' was not converted: %2").arg(source, error.description()));
    }
    return result;
}

} // namespace JetImport

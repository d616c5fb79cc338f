#include "maintenance/jetimport/DatabaseImport.h"

#include "base/AppError.h"
#include "engine/ConnectionTarget.h"
#include "engine/DatabaseFile.h"
#include "engine/DatabaseOpening.h"
#include "engine/SqlText.h"
#include "engine/Sqlite.h"
#include "maintenance/jetimport/DatabaseComparison.h"
#include "maintenance/jetimport/FilePlacement.h"
#include "maintenance/jetimport/JetDatabase.h"
#include "maintenance/jetimport/StoredValues.h"
#include "maintenance/jetimport/TableDdl.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
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
    // Creates the file; one that another process made meanwhile is refused and left to its owner.
    void make(const QString& password)
    {
        DatabaseFile::create(m_path, password);
        m_made = true;
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
    while (reader->next(values)) {
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
            working.make(options.password);
            OpenedDatabase written = openDatabase(ConnectionTarget{working.path(), options.password});
            // The working file is thrown away on any failure and synced as a whole before it is put in
            // place, so neither a journal nor a sync per transaction protects anything while it is made.
            Sqlite::exec(written.db.get(),
                         QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF"),
                         working.path());
            for (const QString& name : jet.tableNames())
                writeTable(written.db.get(), working.path(), jet, name, options, result);
        }
        compareWithSource(source, working.path(), options);
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

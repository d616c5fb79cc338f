#include "engine/Recordset.h"

#include "base/AppError.h"
#include "engine/SqlDialect.h"
#include "engine/SqlText.h"
#include "engine/Sqlite.h"

#include <QRegularExpression>

namespace {

using SqlText::quoteIdentifier;

[[noreturn]] void closedError()
{
    throw Sqlite::objectClosedError();
}

[[noreturn]] void itemNotFound()
{
    throw AppError(
        ErrorNumber::ItemNotFound,
        QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                       "ordinal."));
}

[[noreturn]] void noCurrentRecord()
{
    throw AppError(
        ErrorNumber::NoCurrentRecord,
        QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. Requested "
                       "operation requires a current record."));
}

[[noreturn]] void notUpdatable()
{
    throw AppError(
        ErrorNumber::UpdateNotSupported,
        QStringLiteral("Current Recordset does not support updating. Only a table, or \"select * from\" "
                       "one table, can be changed through a recordset."));
}

const QString Name = QStringLiteral(R"((\[[^\]]+\]|"(?:[^"]|"")+"|`[^`]+`|[^\s(),;'"]+))");

} // namespace

Recordset::~Recordset()
{
    close();
}

Recordset::Recordset(Recordset&& other) noexcept
{
    *this = std::move(other);
}

Recordset& Recordset::operator=(Recordset&& other) noexcept
{
    if (this != &other) {
        m_connection = std::exchange(other.m_connection, nullptr);
        m_table = std::move(other.m_table);
        m_columns = std::move(other.m_columns);
        m_rows = std::move(other.m_rows);
        m_rowIds = std::move(other.m_rowIds);
        m_position = std::exchange(other.m_position, 0);
        m_adding = std::exchange(other.m_adding, false);
        m_pending = std::move(other.m_pending);
        m_dirty = std::move(other.m_dirty);
        other.close();
    }
    return *this;
}

void Recordset::open(const QString& source, Connection& connection, int /*cursorType*/, int /*lockType*/,
                     int /*options*/)
{
    close();
    sqlite3* db = connection.handle();
    const QString path = connection.databasePath();

    // A bare name is a table; "select * from" one table, perhaps filtered or sorted, is a table too. Those
    // are read with their rowids, by which update() finds the rows again.
    static const QRegularExpression bareName(QStringLiteral("^%1$").arg(Name));
    static const QRegularExpression oneTable(
        QStringLiteral(R"(^select\s+\*\s+from\s+%1(\s+(?:where|order\s+by|limit)\b.*)?$)").arg(Name),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QString trimmed = source.trimmed();
    QString table;
    QString sql;
    QString tail;
    if (bareName.match(trimmed).hasMatch()) {
        table = SqlText::unquoteIdentifier(trimmed);
        sql = QStringLiteral("SELECT * FROM %1").arg(quoteIdentifier(table));
    } else {
        sql = SqlDialect::translate(trimmed);
        if (const auto m = oneTable.match(sql); m.hasMatch()) {
            table = SqlText::unquoteIdentifier(m.captured(1));
            tail = m.captured(2);
        }
    }

    std::unique_ptr<Sqlite::Statement> statement;
    if (!table.isEmpty()) {
        // A view or a WITHOUT ROWID table has no rowid: it is then read, but not updatable.
        try {
            statement = std::make_unique<Sqlite::Statement>(
                db, QStringLiteral("SELECT _rowid_, * FROM %1%2").arg(quoteIdentifier(table), tail), path);
        } catch (const AppError&) {
            table.clear();
        }
    }
    if (!statement)
        statement = std::make_unique<Sqlite::Statement>(db, sql, path);

    const int first = table.isEmpty() ? 0 : 1;
    const int count = statement->columnCount();
    QVector<Column> columns;
    for (int i = first; i < count; ++i) {
        const char* declared = sqlite3_column_decltype(statement->get(), i);
        columns.append({QString::fromUtf8(sqlite3_column_name(statement->get(), i)),
                        declared != nullptr ? QString::fromUtf8(declared) : QString()});
    }
    QVector<QVector<QVariant>> rows;
    QVector<qlonglong> rowIds;
    while (statement->step()) {
        QVector<QVariant> row;
        row.reserve(count - first);
        for (int i = first; i < count; ++i)
            row.append(statement->column(i));
        rows.append(std::move(row));
        if (first == 1)
            rowIds.append(statement->column(0).toLongLong());
    }

    m_connection = &connection;
    m_table = table;
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_rowIds = std::move(rowIds);
    m_position = 0;
}

// Pending changes are dropped: a recordset released without update() writes nothing.
void Recordset::close()
{
    m_connection = nullptr;
    m_table.clear();
    m_columns.clear();
    m_rows.clear();
    m_rowIds.clear();
    m_position = 0;
    m_adding = false;
    m_pending.clear();
    m_dirty.clear();
}

int Recordset::recordCount() const
{
    if (!isOpen())
        closedError();
    return static_cast<int>(m_rows.size());
}

bool Recordset::eof() const
{
    if (!isOpen())
        closedError();
    return m_rows.isEmpty() || m_position >= m_rows.size();
}

bool Recordset::bof() const
{
    if (!isOpen())
        closedError();
    return m_rows.isEmpty() || m_position < 0;
}

// Moving away from a changed or added row writes it first, as ADO does.
void Recordset::moveFirst()
{
    if (!isOpen())
        closedError();
    if (m_adding || !m_pending.isEmpty())
        update();
    if (m_rows.isEmpty())
        requireCurrentRow();
    m_position = 0;
}

void Recordset::moveNext()
{
    if (!isOpen())
        closedError();
    if (m_adding || !m_pending.isEmpty())
        update();
    requireCurrentRow();
    ++m_position;
}

int Recordset::fieldCount() const
{
    if (!isOpen())
        closedError();
    return static_cast<int>(m_columns.size());
}

QString Recordset::fieldName(int index) const
{
    if (!isOpen())
        closedError();
    if (index < 0 || index >= m_columns.size())
        itemNotFound();
    return m_columns[index].name;
}

QVariant Recordset::value(const QString& name) const
{
    return value(indexOf(name));
}

QVariant Recordset::value(int index) const
{
    if (!isOpen())
        closedError();
    if (index < 0 || index >= m_columns.size())
        itemNotFound();
    requireCurrentRow();
    if (m_adding || (!m_dirty.isEmpty() && m_dirty[index]))
        return m_pending[index];
    return m_rows[m_position][index];
}

QVariant Recordset::valueAt(int row, int index) const
{
    if (!isOpen())
        closedError();
    if (index < 0 || index >= m_columns.size())
        itemNotFound();
    if (row < 0 || row >= m_rows.size())
        noCurrentRecord();
    return m_rows[row][index];
}

void Recordset::setValue(const QString& name, const QVariant& value)
{
    const int index = indexOf(name);
    if (m_table.isEmpty())
        notUpdatable();
    requireCurrentRow();
    if (m_pending.isEmpty()) {
        m_pending = m_rows[m_position];
        m_dirty = QVector<bool>(m_columns.size(), false);
    }
    m_pending[index] = value;
    m_dirty[index] = true;
}

int Recordset::definedSize(int index) const
{
    if (!isOpen())
        closedError();
    if (index < 0 || index >= m_columns.size())
        itemNotFound();
    return SqlDialect::definedSizeOf(m_columns[index].declaredType);
}

int Recordset::definedSize(const QString& name) const
{
    return definedSize(indexOf(name));
}

void Recordset::addNew()
{
    if (!isOpen())
        closedError();
    if (m_table.isEmpty())
        notUpdatable();
    if (m_adding || !m_pending.isEmpty())
        update();
    m_adding = true;
    m_pending = QVector<QVariant>(m_columns.size());
    m_dirty = QVector<bool>(m_columns.size(), false);
}

void Recordset::update()
{
    if (!isOpen())
        closedError();
    if (!m_adding && m_pending.isEmpty())
        return;
    if (m_table.isEmpty())
        notUpdatable();
    if (!m_adding)
        requireCurrentRow();
    m_connection->schemaChanged(); // the length guards must match the table as it is now

    QStringList names;
    QVector<QVariant> values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_dirty[i]) {
            names.append(quoteIdentifier(m_columns[i].name));
            values.append(m_pending[i]);
        }
    }
    const qlonglong rowId = m_adding ? insertRow(names, values) : changeCurrentRow(names, values);
    const QVector<QVariant> stored = storedRow(rowId);
    if (m_adding) {
        m_rows.append(stored);
        m_rowIds.append(rowId);
        m_position = static_cast<int>(m_rows.size()) - 1;
    } else {
        m_rows[m_position] = stored;
    }
    m_adding = false;
    m_pending.clear();
    m_dirty.clear();
}

qlonglong Recordset::insertRow(const QStringList& names, const QVector<QVariant>& values)
{
    sqlite3* db = m_connection->handle();
    const QString table = quoteIdentifier(m_table);
    QString sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    if (!names.isEmpty()) {
        QStringList marks;
        for (int i = 1; i <= names.size(); ++i)
            marks.append(QStringLiteral("?%1").arg(i));
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }
    Sqlite::Statement insert(db, sql, m_connection->databasePath());
    for (int i = 0; i < values.size(); ++i)
        insert.bind(i + 1, values[i]);
    insert.step();
    return sqlite3_last_insert_rowid(db);
}

qlonglong Recordset::changeCurrentRow(const QStringList& names, const QVector<QVariant>& values)
{
    sqlite3* db = m_connection->handle();
    const QString path = m_connection->databasePath();
    const qlonglong rowId = m_rowIds[m_position];
    QStringList assignments;
    for (int i = 0; i < names.size(); ++i)
        assignments.append(QStringLiteral("%1 = ?%2").arg(names[i]).arg(i + 1));
    Sqlite::Statement change(db,
                             QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_ = ?%3")
                                 .arg(quoteIdentifier(m_table), assignments.join(QStringLiteral(", ")))
                                 .arg(names.size() + 1),
                             path);
    for (int i = 0; i < values.size(); ++i)
        change.bind(i + 1, values[i]);
    change.bind(static_cast<int>(values.size()) + 1, rowId);
    change.step();
    if (sqlite3_changes(db) == 0)
        throw AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("The row to be changed in the table '%1' of the database '%2' no longer "
                           "exists; another user may have deleted it.")
                .arg(m_table, path));
    return rowId;
}

// The row as stored: defaults filled in, values converted by the column's type.
QVector<QVariant> Recordset::storedRow(qlonglong rowId) const
{
    QVector<QVariant> stored = m_adding ? m_pending : m_rows[m_position];
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_dirty[i])
            stored[i] = m_pending[i];
    Sqlite::Statement reread(
        m_connection->handle(),
        QStringLiteral("SELECT * FROM %1 WHERE _rowid_ = ?1").arg(quoteIdentifier(m_table)),
        m_connection->databasePath());
    reread.bind(1, rowId);
    if (!reread.step())
        return stored;
    for (int c = 0; c < reread.columnCount(); ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(reread.get(), c));
        for (int i = 0; i < m_columns.size(); ++i)
            if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                stored[i] = reread.column(c);
    }
    return stored;
}

int Recordset::indexOf(const QString& name) const
{
    if (!isOpen())
        closedError();
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    itemNotFound();
}

void Recordset::requireCurrentRow() const
{
    if (m_adding)
        return;
    if (m_rows.isEmpty() || m_position < 0 || m_position >= m_rows.size())
        noCurrentRecord();
}

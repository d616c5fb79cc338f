#include "engine/Sqlite.h"

#include "engine/SqlText.h"

#include <QRegularExpression>

namespace {

// The guard's message starts with a word no SQLite message uses; the unit separator cannot occur in the
// names of the programs' tables and columns.
const QString MarkerPrefix = QStringLiteral("companydesk-text-too-long");
constexpr QChar Separator = QChar(0x1F);

QString withPath(const QString& path)
{
    return path.isEmpty() ? QString() : QStringLiteral(" of the database '%1'").arg(path);
}

// The table a failing statement worked on, for a description that names it; empty when unclear.
QString tableOf(const QString& sql)
{
    static const QRegularExpression table(QStringLiteral(R"(\b(?:from|update|into)\s+([^\s(),;]+))"),
                                          QRegularExpression::CaseInsensitiveOption);
    const auto match = table.match(sql);
    return match.hasMatch() ? SqlText::unquoteIdentifier(match.captured(1)) : QString();
}

QString withoutSchema(QString name)
{
    if (name.startsWith(QLatin1String("main."), Qt::CaseInsensitive))
        name = name.mid(5);
    return name;
}

} // namespace

namespace Sqlite {

Statement::Statement(sqlite3* db, const QString& sql, const QString& databasePath)
    : m_db(db), m_sql(sql), m_databasePath(databasePath)
{
    const QByteArray text = sql.toUtf8();
    const int rc =
        sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        AppError error = errorFor(db, rc, databasePath, sql);
        sqlite3_finalize(m_statement);
        throw error;
    }
    if (m_statement == nullptr)
        throw AppError(ErrorNumber::Unspecified, QStringLiteral("The statement is empty."));
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

void Statement::bind(int index, const QVariant& value)
{
    int rc = SQLITE_OK;
    if (!value.isValid()) {
        rc = sqlite3_bind_null(m_statement, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_statement, index, value.toBool() ? -1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(m_statement, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_statement, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(m_statement, index, bytes.constData(),
                                     static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(m_statement, index, text.constData(),
                                     static_cast<sqlite3_uint64>(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        throw errorFor(m_db, rc, m_databasePath, m_sql);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw errorFor(m_db, rc, m_databasePath, m_sql);
}

void Statement::reset()
{
    // A failure of the last step was reported by step(); reset repeats its code, which says nothing new.
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

QVariant Statement::column(int index) const
{
    switch (sqlite3_column_type(m_statement, index)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_statement, index)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, index));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, index));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_statement, index)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, index));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_statement, index)));
    }
    default:
        return {};
    }
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_statement);
}

void exec(sqlite3* db, const QString& sql, const QString& databasePath)
{
    const QByteArray text = sql.toUtf8();
    const char* next = text.constData();
    const char* const end = next + text.size();
    while (next < end) {
        sqlite3_stmt* statement = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(db, next, static_cast<int>(end - next), &statement, &tail);
        if (rc == SQLITE_OK && statement == nullptr)
            break; // only blanks or comments are left
        if (rc == SQLITE_OK) {
            do
                rc = sqlite3_step(statement);
            while (rc == SQLITE_ROW);
        }
        if (rc != SQLITE_DONE && rc != SQLITE_OK) {
            AppError error = errorFor(db, rc, databasePath, sql);
            sqlite3_finalize(statement);
            throw error;
        }
        sqlite3_finalize(statement);
        next = tail;
    }
}

AppError errorFor(sqlite3* db, int rc, const QString& databasePath, const QString& sql)
{
    const QString message =
        db != nullptr ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const QString where = withPath(databasePath);

    QString table;
    QString column;
    int limit = 0;
    if (parseTextTooLongMarker(message, table, column, limit))
        return AppError(
            ErrorNumber::TextTooLong,
            QStringLiteral("The text for the column '%1' of the table '%2' is longer than its defined "
                           "size of %3 characters.")
                .arg(column, table)
                .arg(limit));

    static const QRegularExpression noTable(QStringLiteral(R"(^no such table: (.+)$)"));
    if (const auto m = noTable.match(message); m.hasMatch())
        return AppError(ErrorNumber::NoSuchTable, QStringLiteral("The database '%1' has no table '%2'.")
                                                      .arg(databasePath, withoutSchema(m.captured(1))));

    static const QRegularExpression noColumn(QStringLiteral(R"(^no such column: (.+)$)"));
    static const QRegularExpression noColumnNamed(QStringLiteral(R"(^table (.+) has no column named (.+)$)"));
    if (const auto m = noColumnNamed.match(message); m.hasMatch())
        return AppError(ErrorNumber::NoSuchColumn,
                        QStringLiteral("The table '%1'%2 has no column '%3'.")
                            .arg(withoutSchema(m.captured(1)), where, m.captured(2)));
    if (const auto m = noColumn.match(message); m.hasMatch()) {
        const QString named = tableOf(sql);
        if (named.isEmpty())
            return AppError(
                ErrorNumber::NoSuchColumn,
                QStringLiteral("The column '%1' does not exist in the tables of the statement \"%2\".")
                    .arg(m.captured(1), sql.trimmed()));
        return AppError(
            ErrorNumber::NoSuchColumn,
            QStringLiteral("The table '%1'%2 has no column '%3'.").arg(named, where, m.captured(1)));
    }

    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return AppError(ErrorNumber::Unspecified,
                        QStringLiteral("The database '%1' is locked by another program or connection that is "
                                       "changing it; try again when it has finished (%2).")
                            .arg(databasePath, message));
    case SQLITE_READONLY:
        return AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("The database '%1' cannot be changed: the file is read-only for this user (%2).")
                .arg(databasePath, message));
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("'%1' is not a database file or is damaged (%2).").arg(databasePath, message));
    case SQLITE_FULL:
        return AppError(
            ErrorNumber::Unspecified,
            QStringLiteral("The disk holding the database '%1' is full (%2).").arg(databasePath, message));
    default:
        return AppError(ErrorNumber::Unspecified,
                        QStringLiteral("The database '%1' could not carry out \"%2\": %3.")
                            .arg(databasePath, sql.trimmed(), message));
    }
}

AppError objectClosedError()
{
    return AppError(ErrorNumber::ObjectClosed,
                    QStringLiteral("Operation is not allowed when the object is closed."));
}

QString textTooLongMarker(const QString& table, const QString& column, int limit)
{
    return MarkerPrefix + Separator + table + Separator + column + Separator + QString::number(limit);
}

bool parseTextTooLongMarker(const QString& message, QString& table, QString& column, int& limit)
{
    if (!message.startsWith(MarkerPrefix + Separator))
        return false;
    const QStringList parts = message.split(Separator);
    if (parts.size() != 4)
        return false;
    table = parts[1];
    column = parts[2];
    limit = parts[3].toInt();
    return true;
}

} // namespace Sqlite

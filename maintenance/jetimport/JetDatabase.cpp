#include "maintenance/jetimport/JetDatabase.h"

#include "base/AppError.h"
#include "base/SystemError.h"
#include "engine/DatabaseFile.h"
#include "maintenance/jetimport/JetValues.h"

#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <glib.h> // before mdbtools.h, which would include it inside extern "C"
#include <iconv.h>
#include <mdbtools.h>
#include <optional>

namespace JetImport {

namespace {

// The catalogue entries that are user tables carry neither of these flags.
constexpr int MemoHeaderSize = MDB_MEMO_OVERHEAD;

AppError unreadable(const QString& path, const QString& cause)
{
    return AppError(ErrorNumber::Unspecified,
                    QStringLiteral("The Jet database '%1' cannot be read: %2.").arg(path, cause));
}

template <typename T> T* item(GPtrArray* array, unsigned index)
{
    return static_cast<T*>(array->pdata[index]);
}

// libmdb takes the code page of a Jet 3 file's text, and the encoding it hands text out in, from the
// environment when it opens a file. Both are set for the one open and put back afterwards, so that the
// import neither depends on nor changes what the caller's environment says.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const std::optional<QByteArray>& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = QByteArray(old);
        if (value)
            ::setenv(name, value->constData(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        if (m_old)
            ::setenv(m_name, m_old->constData(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};

QByteArray codePageName(int codePage)
{
    return "CP" + QByteArray::number(codePage);
}

struct FreeTable
{
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
struct FreeGlibMemory
{
    void operator()(void* memory) const { g_free(memory); }
};
using GlibText = std::unique_ptr<char, FreeGlibMemory>;

ColumnKind kindOf(const MdbColumn& column)
{
    switch (column.col_type) {
    case MDB_BOOL:
        return ColumnKind::YesNo;
    case MDB_BYTE:
        return ColumnKind::Byte;
    case MDB_INT:
        return ColumnKind::Integer;
    case MDB_LONGINT:
        return column.is_long_auto ? ColumnKind::Counter : ColumnKind::Long;
    case MDB_MONEY:
        return ColumnKind::Currency;
    case MDB_FLOAT:
        return ColumnKind::Single;
    case MDB_DOUBLE:
        return ColumnKind::Double;
    case MDB_DATETIME:
        return ColumnKind::DateTime;
    case MDB_BINARY:
        return ColumnKind::Binary;
    case MDB_TEXT:
        return ColumnKind::Text;
    case MDB_OLE:
        return ColumnKind::OleObject;
    case MDB_MEMO:
        return ColumnKind::Memo;
    case MDB_REPID:
        return ColumnKind::ReplicationId;
    case MDB_NUMERIC:
        return ColumnKind::Decimal;
    default:
        return ColumnKind::Unsupported;
    }
}

// The size in bytes each fixed-size kind occupies in a row.
int fixedSizeOf(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::Byte:
        return 1;
    case ColumnKind::Integer:
        return 2;
    case ColumnKind::Long:
    case ColumnKind::Counter:
    case ColumnKind::Single:
        return 4;
    case ColumnKind::Currency:
    case ColumnKind::Double:
    case ColumnKind::DateTime:
        return 8;
    case ColumnKind::ReplicationId:
        return 16;
    case ColumnKind::Decimal:
        return 17;
    default:
        return 0;
    }
}

bool isLongValue(ColumnKind kind)
{
    return kind == ColumnKind::Memo || kind == ColumnKind::OleObject;
}

QString formatNameOf(guint32 version)
{
    switch (version) {
    case MDB_VER_JET3:
        return QStringLiteral("Jet 3");
    case MDB_VER_JET4:
        return QStringLiteral("Jet 4");
    case MDB_VER_ACCDB_2007:
        return QStringLiteral("ACE 12");
    case MDB_VER_ACCDB_2010:
        return QStringLiteral("ACE 14");
    case MDB_VER_ACCDB_2013:
        return QStringLiteral("ACE 15");
    case MDB_VER_ACCDB_2016:
        return QStringLiteral("ACE 16");
    case MDB_VER_ACCDB_2019:
        return QStringLiteral("ACE 17");
    default:
        return QStringLiteral("an unknown version (%1)").arg(version);
    }
}

QString objectKindName(int type)
{
    switch (type) {
    case MDB_FORM:
        return QStringLiteral("form");
    case MDB_MACRO:
        return QStringLiteral("macro");
    case MDB_REPORT:
        return QStringLiteral("report");
    case MDB_QUERY:
        return QStringLiteral("saved query");
    case MDB_LINKED_TABLE:
        return QStringLiteral("linked table");
    case MDB_MODULE:
        return QStringLiteral("module");
    case MDB_RELATIONSHIP:
        return QStringLiteral("relationship");
    default:
        return QString();
    }
}

} // namespace

struct JetDatabase::Impl
{
    QString path;
    MdbHandle* mdb = nullptr;
    QVector<MdbCatalogEntry*> tables;
    QStringList notConverted;

    ~Impl()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

struct JetTableReader::Impl
{
    QString path;
    MdbHandle* mdb = nullptr;
    std::unique_ptr<MdbTableDef, FreeTable> def;
    JetTable table;
    QVector<MdbColumn*> columns;  // the source column of each of table.columns
    QVector<QByteArray> boolText; // where libmdb writes each Yes/No column's value
    QVector<QByteArray> longHeaders;
    QByteArray longBuffer; // where libmdb writes the pieces of a memo or OLE value
    QByteArray textBuffer;
    qint64 rows = 0;

    AppError valueError(int column, const QString& cause) const
    {
        return unreadable(path, QStringLiteral("row %1 of table '%2', column '%3': %4")
                                    .arg(rows)
                                    .arg(table.name, table.columns[column].name, cause));
    }
    QString decode(const char* bytes, size_t length);
    QVariant fixedValue(int column, const unsigned char* bytes, int length);
    QVariant longValue(int column, const QByteArray& header);
    QVector<bool> nulls(int fallbackColumns);
};

bool JetDatabase::hasJetHeader(const QByteArray& firstBytes)
{
    return DatabaseFile::hasJetHeader(firstBytes);
}

bool JetDatabase::isJetFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && hasJetHeader(file.read(HeaderSize));
}

bool JetDatabase::isKnownCodePage(int codePage)
{
    if (codePage <= 0 || codePage > 65535)
        return false;
    const iconv_t converter = iconv_open("UTF-8", codePageName(codePage).constData());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(converter);
    return true;
}

JetDatabase::JetDatabase(const QString& path, int codePage) : d(std::make_unique<Impl>())
{
    d->path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw unreadable(path,
                         file.exists() ? file.errorString() : QStringLiteral("the file does not exist"));
    if (!hasJetHeader(file.read(HeaderSize)))
        throw unreadable(path, QStringLiteral("it is not a Jet database"));
    file.close();
    {
        const ScopedEnvironment charset("MDB_JET3_CHARSET",
                                        codePage > 0 ? std::optional(codePageName(codePage)) : std::nullopt);
        const ScopedEnvironment output("MDBICONV", std::nullopt);
        d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    }
    if (!d->mdb)
        throw unreadable(path, QStringLiteral("the file is damaged or of a format this system cannot read"));
    if (!mdb_read_catalog(d->mdb, MDB_ANY))
        throw unreadable(path, QStringLiteral("its list of tables cannot be read (the file is damaged, or "
                                              "encrypted in a way this system cannot read)"));
    mdb_set_boolean_fmt_numbers(d->mdb);
    for (unsigned i = 0; i < d->mdb->num_catalog; ++i) {
        auto* entry = item<MdbCatalogEntry>(d->mdb->catalog, i);
        const QString name = QString::fromUtf8(entry->object_name);
        if (entry->object_type == MDB_TABLE) {
            if (mdb_is_user_table(entry))
                d->tables.append(entry);
            continue;
        }
        const QString kind = objectKindName(entry->object_type);
        if (!kind.isEmpty())
            d->notConverted.append(QStringLiteral("%1 '%2'").arg(kind, name));
    }
}

JetDatabase::~JetDatabase() = default;

QString JetDatabase::path() const
{
    return d->path;
}

QString JetDatabase::formatName() const
{
    return formatNameOf(d->mdb->f->jet_version);
}

QStringList JetDatabase::tableNames() const
{
    QStringList names;
    for (const MdbCatalogEntry* entry : d->tables)
        names.append(QString::fromUtf8(entry->object_name));
    return names;
}

QStringList JetDatabase::objectsNotConverted() const
{
    return d->notConverted;
}

std::unique_ptr<JetTableReader> JetDatabase::openTable(const QString& name)
{
    MdbCatalogEntry* entry = nullptr;
    for (MdbCatalogEntry* candidate : d->tables) {
        if (QString::fromUtf8(candidate->object_name) == name)
            entry = candidate;
    }
    if (!entry)
        throw unreadable(d->path, QStringLiteral("it holds no table '%1'").arg(name));

    auto impl = std::make_unique<JetTableReader::Impl>();
    impl->path = d->path;
    impl->mdb = d->mdb;
    impl->def.reset(mdb_read_table(entry));
    MdbTableDef* def = impl->def.get();
    if (!def || !mdb_read_columns(def))
        throw unreadable(d->path, QStringLiteral("the description of table '%1' is damaged").arg(name));
    JetTable& table = impl->table;
    table.name = name;
    table.rowCount = def->num_rows;

    const bool unicode = d->mdb->f->jet_version != MDB_VER_JET3;
    QVector<int> positionOfSource(static_cast<int>(def->num_cols), -1);
    for (unsigned i = 0; i < def->num_cols; ++i) {
        MdbColumn* source = item<MdbColumn>(def->columns, i);
        JetColumn column;
        column.name = QString::fromUtf8(source->name);
        column.kind = kindOf(*source);
        if (column.kind == ColumnKind::Unsupported) {
            table.notConverted.append(
                QStringLiteral("column '%1' of table '%2' (an attachment or multi-valued column)")
                    .arg(column.name, name));
            continue;
        }
        if (column.kind == ColumnKind::Text)
            column.size = unicode ? source->col_size / 2 : source->col_size;
        if (column.kind == ColumnKind::Binary)
            column.size = source->col_size;
        if (column.kind == ColumnKind::Decimal) {
            column.precision = source->col_prec;
            column.scale = source->col_scale;
        }
        positionOfSource[static_cast<int>(i)] = static_cast<int>(table.columns.size());
        table.columns.append(column);
        impl->columns.append(source);
    }

    mdb_read_indices(def);
    if (def->indices) {
        for (unsigned i = 0; i < def->num_idxs; ++i) {
            const MdbIndex* source = item<MdbIndex>(def->indices, i);
            // Type 2 marks the index a relationship keeps on its foreign side; the relationship itself
            // is reported, and its index means nothing without it.
            if (source->index_type == 2)
                continue;
            JetIndex index;
            index.name = QString::fromUtf8(source->name);
            index.primary = source->index_type == 1;
            index.unique = index.primary || (source->flags & MDB_IDX_UNIQUE);
            bool readable = source->num_keys > 0 && source->num_keys <= MDB_MAX_IDX_COLS;
            for (unsigned k = 0; readable && k < source->num_keys; ++k) {
                const int sourceColumn = source->key_col_num[k] - 1;
                if (sourceColumn < 0 || sourceColumn >= positionOfSource.size() ||
                    positionOfSource[sourceColumn] < 0) {
                    readable = false;
                    break;
                }
                index.keys.append({positionOfSource[sourceColumn], source->key_col_order[k] == MDB_DESC});
            }
            if (readable)
                table.indexes.append(index);
            else
                table.notConverted.append(
                    QStringLiteral("index '%1' of table '%2' (its columns cannot be read)")
                        .arg(index.name, name));
        }
    } else {
        table.notConverted.append(
            QStringLiteral("the indexes of table '%1' (they cannot be read)").arg(name));
    }

    // Yes/No values live in the row's null mask; libmdb hands them out as "1" or "0" in a bound buffer.
    impl->boolText.resize(impl->columns.size());
    for (int c = 0; c < impl->columns.size(); ++c) {
        if (table.columns[c].kind == ColumnKind::YesNo) {
            impl->boolText[c] = QByteArray(static_cast<int>(MDB_BIND_SIZE), '\0');
            mdb_bind_column(def, impl->columns[c]->col_num + 1, impl->boolText[c].data(), nullptr);
        }
    }
    impl->longHeaders.resize(impl->columns.size());
    impl->longBuffer = QByteArray(static_cast<int>(std::max<size_t>(d->mdb->bind_size, MDB_BIND_SIZE)), '\0');
    mdb_rewind_table(def);
    return std::unique_ptr<JetTableReader>(new JetTableReader(std::move(impl)));
}

JetTableReader::JetTableReader(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

JetTableReader::~JetTableReader() = default;

const JetTable& JetTableReader::table() const
{
    return d->table;
}

qint64 JetTableReader::rowsRead() const
{
    return d->rows;
}

QString JetTableReader::Impl::decode(const char* bytes, size_t length)
{
    if (length == 0)
        return QString();
    // Compressed Unicode takes one byte for a character that needs up to two in UTF-8; full UCS-2 two
    // for up to three; a Jet 3 code page one for up to three.
    const size_t room = length * 3 + 16;
    if (static_cast<size_t>(textBuffer.size()) < room)
        textBuffer.resize(static_cast<qsizetype>(room));
    const int written = mdb_unicode2ascii(mdb, bytes, length, textBuffer.data(), room);
    return QString::fromUtf8(textBuffer.constData(), written);
}

QVariant JetTableReader::Impl::fixedValue(int column, const unsigned char* bytes, int length)
{
    const JetColumn& target = table.columns[column];
    const int expected = fixedSizeOf(target.kind);
    if (expected > 0 && length != expected)
        throw valueError(
            column, QStringLiteral("a value of %1 bytes where %2 were expected").arg(length).arg(expected));
    switch (target.kind) {
    case ColumnKind::Byte:
        return QVariant(static_cast<qlonglong>(bytes[0]));
    case ColumnKind::Integer:
        return QVariant(static_cast<qlonglong>(qFromLittleEndian<qint16>(bytes)));
    case ColumnKind::Long:
    case ColumnKind::Counter:
        return QVariant(static_cast<qlonglong>(qFromLittleEndian<qint32>(bytes)));
    case ColumnKind::Single:
        return QVariant(static_cast<double>(qFromLittleEndian<float>(bytes)));
    case ColumnKind::Double:
        return QVariant(qFromLittleEndian<double>(bytes));
    case ColumnKind::Currency:
        return QVariant(JetValues::currencyText(qFromLittleEndian<qint64>(bytes)));
    case ColumnKind::DateTime: {
        const double days = qFromLittleEndian<double>(bytes);
        const auto text = JetValues::dateText(days);
        if (!text)
            throw valueError(
                column,
                QStringLiteral("the date value %1 lies outside the years 100 to 9999").arg(days, 0, 'g', 17));
        return QVariant(*text);
    }
    case ColumnKind::ReplicationId: {
        const GlibText text(mdb_uuid_to_string(bytes, 0));
        return QVariant(QString::fromLatin1(text.get()));
    }
    case ColumnKind::Decimal: {
        const int start = static_cast<int>(bytes - mdb->pg_buf);
        const GlibText text(mdb_numeric_to_string(mdb, start, target.scale, target.precision));
        const auto exact = JetValues::decimalText(QString::fromLatin1(text.get()), target.scale);
        if (!exact)
            throw valueError(
                column,
                QStringLiteral("the decimal value '%1' cannot be read").arg(QString::fromLatin1(text.get())));
        return QVariant(*exact);
    }
    case ColumnKind::Binary:
        return QVariant(QByteArray(reinterpret_cast<const char*>(bytes), length));
    case ColumnKind::Text:
        return QVariant(decode(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length)));
    default:
        throw valueError(column, QStringLiteral("a value of an unknown type"));
    }
}

QVariant JetTableReader::Impl::longValue(int column, const QByteArray& header)
{
    MdbColumn* source = columns[column];
    // libmdb reads a memo or OLE value from the 12-byte reference kept in the row, piece by piece (one
    // page at most each) into the column's bound buffer. Read so rather than whole in one call, which
    // takes a megabyte for every value, however short.
    char reference[MemoHeaderSize];
    std::memcpy(reference, header.constData(), MemoHeaderSize);
    source->bind_ptr = longBuffer.data();
    QByteArray whole;
    size_t piece = mdb_ole_read(mdb, source, reference, static_cast<size_t>(longBuffer.size()));
    while (piece > 0) {
        if (piece > static_cast<size_t>(longBuffer.size())) {
            source->bind_ptr = nullptr;
            throw valueError(column, QStringLiteral("its long value cannot be read"));
        }
        whole.append(longBuffer.constData(), static_cast<qsizetype>(piece));
        piece = mdb_ole_read_next(mdb, source, reference);
    }
    source->bind_ptr = nullptr;
    if (table.columns[column].kind == ColumnKind::OleObject)
        return QVariant(whole);
    return QVariant(decode(whole.constData(), static_cast<size_t>(whole.size())));
}

// Which values of the current row are Null. The row's own null mask says it; libmdb gives it for a row
// it finds on the current page. A row kept elsewhere (moved there when it grew) is not where the mask
// would be read: its sizes tell then, which cannot tell an empty text from a Null one.
QVector<bool> JetTableReader::Impl::nulls(int)
{
    QVector<bool> result(columns.size(), false);
    MdbField fields[MDB_MAX_COLS];
    int start = 0;
    size_t length = 0;
    bool cracked = table.columns.isEmpty() ? false : true;
    const int row = static_cast<int>(def->cur_row) - 1;
    if (row < 0 || mdb_find_row(mdb, row, &start, &length) != 0 || (start & 0xC000) != 0)
        cracked = false;
    int count = 0;
    if (cracked) {
        count = mdb_crack_row(def.get(), start, length, fields);
        cracked = count == static_cast<int>(def->num_cols);
    }
    if (cracked) {
        // The fields found must be the ones libmdb has just read, or this is not that row.
        for (int c = 0; c < columns.size() && cracked; ++c) {
            const MdbField* field = nullptr;
            for (int f = 0; f < count; ++f) {
                if (fields[f].colnum == columns[c]->col_num)
                    field = &fields[f];
            }
            if (!field) {
                cracked = false;
                break;
            }
            result[c] = field->is_null;
            if (table.columns[c].kind != ColumnKind::YesNo && !field->is_null && field->siz > 0 &&
                (field->start != columns[c]->cur_value_start || field->siz != columns[c]->cur_value_len))
                cracked = false;
        }
    }
    if (!cracked) {
        for (int c = 0; c < columns.size(); ++c)
            result[c] = columns[c]->cur_value_len == 0;
    }
    return result;
}

bool JetTableReader::next(QVector<QVariant>& values)
{
    if (!mdb_fetch_row(d->def.get()))
        return false;
    ++d->rows;
    const int count = static_cast<int>(d->columns.size());
    values.resize(count);
    const QVector<bool> isNull = d->nulls(count);
    const auto pageSize = static_cast<int>(d->mdb->fmt->pg_size);
    // Values in the row first, while the row's page is at hand; long values after, as reading them
    // visits other pages.
    for (int c = 0; c < count; ++c) {
        const ColumnKind kind = d->table.columns[c].kind;
        const MdbColumn* source = d->columns[c];
        values[c] = QVariant();
        if (kind == ColumnKind::YesNo) {
            values[c] = QVariant(static_cast<qlonglong>(d->boolText[c].startsWith('1') ? -1 : 0));
            continue;
        }
        if (isNull[c])
            continue;
        const int start = source->cur_value_start;
        const int length = source->cur_value_len;
        if (start < 0 || length < 0 || start + length > pageSize)
            throw d->valueError(c, QStringLiteral("its value lies outside the page"));
        const unsigned char* bytes = d->mdb->pg_buf + start;
        if (isLongValue(kind)) {
            if (length < MemoHeaderSize)
                throw d->valueError(c, QStringLiteral("the reference to its long value is damaged"));
            d->longHeaders[c] = QByteArray(reinterpret_cast<const char*>(bytes), MemoHeaderSize);
            continue;
        }
        values[c] = d->fixedValue(c, bytes, length);
    }
    for (int c = 0; c < count; ++c) {
        if (isLongValue(d->table.columns[c].kind) && !isNull[c])
            values[c] = d->longValue(c, d->longHeaders[c]);
    }
    return true;
}

} // namespace JetImport

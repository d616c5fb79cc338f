#include "tests/jetimport/ManyRowJetFile.h"

#include <QByteArray>
#include <QFile>
#include <QVector>
#include <QtEndian>

namespace ManyRowJetFile {

namespace {

// Where the sample keeps the table: its definition page, the one data page of its six rows, and the
// offsets of a Jet 4 table definition and data page.
constexpr int PageSize = 4096;
constexpr int DefinitionPage = 18;
constexpr int DataPage = 20;
constexpr int SampleRows = 6;
constexpr int RowCountInDefinition = 16; // 32 bits
constexpr int ColumnCountInDefinition = 45;
constexpr int UsageMapInDefinition = 55; // a row pointer: page << 8 | row
constexpr int RowsOnDataPage = 12;       // 16 bits, then the rows' offsets, 16 bits each
constexpr int FreeOnDataPage = 2;
constexpr int OwnerOfDataPage = 4;
constexpr int DataPageHeader = 14;
constexpr int NumberInRow = 2; // IDCol: the first fixed column, after the column count
constexpr int OffsetMask = 0x1FFF;
// A page map of type 1 lists pages that are bitmaps; each covers this many pages.
constexpr int PagesPerBitmap = (PageSize - 4) * 8;

quint16 u16(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
quint32 u32(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}
void put16(QByteArray& bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}
void put32(QByteArray& bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

// Where the row of a page lies: its start, and its end (the previous row's start, or the page's end).
struct RowPlace
{
    qsizetype start;
    qsizetype end;
};
RowPlace rowOnPage(const QByteArray& file, int page, int row)
{
    const qsizetype base = qsizetype(page) * PageSize;
    const qsizetype start = u16(file, base + DataPageHeader + 2 * row) & OffsetMask;
    const qsizetype end = row == 0 ? PageSize : u16(file, base + DataPageHeader + 2 * (row - 1)) & OffsetMask;
    return {base + start, base + end};
}

QString checkSample(const QByteArray& file)
{
    if (file.size() % PageSize != 0 || file.size() < qsizetype(DataPage + 1) * PageSize)
        return QStringLiteral("the sample is not the expected file (its size)");
    const qsizetype definition = qsizetype(DefinitionPage) * PageSize;
    const qsizetype data = qsizetype(DataPage) * PageSize;
    if (file[definition] != 0x02 || u32(file, definition + RowCountInDefinition) != SampleRows ||
        u16(file, definition + ColumnCountInDefinition) != 6)
        return QStringLiteral("the sample is not the expected file (table definition)");
    if (file[data] != 0x01 || u32(file, data + OwnerOfDataPage) != DefinitionPage ||
        u16(file, data + RowsOnDataPage) != SampleRows)
        return QStringLiteral("the sample is not the expected file (data page)");
    return QString();
}

// Data pages holding the rows after the sample's own: copies of the sample's rows, numbered on.
QVector<QByteArray> dataPages(const QVector<QByteArray>& sampleRows, qint64 rows)
{
    QVector<QByteArray> pages;
    qint64 number = SampleRows + 1;
    while (number <= rows) {
        QByteArray page(PageSize, '\0');
        page[0] = 0x01;
        page[1] = 0x01;
        put32(page, OwnerOfDataPage, DefinitionPage);
        qsizetype end = PageSize;
        int count = 0;
        for (; number <= rows; ++number, ++count) {
            QByteArray row = sampleRows[int((number - 1) % SampleRows)];
            if (end - row.size() < DataPageHeader + 2 * (count + 1))
                break;
            put32(row, NumberInRow, quint32(number));
            end -= row.size();
            page.replace(end, row.size(), row);
            put16(page, DataPageHeader + 2 * count, quint16(end));
        }
        put16(page, RowsOnDataPage, quint16(count));
        put16(page, FreeOnDataPage, quint16(end - (DataPageHeader + 2 * count)));
        pages.append(page);
    }
    return pages;
}

} // namespace

QString write(const QString& samplePath, const QString& targetPath, qint64 rows)
{
    QFile in(samplePath);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("the sample cannot be read: %1").arg(in.errorString());
    QByteArray file = in.readAll();
    if (const QString wrong = checkSample(file); !wrong.isEmpty())
        return wrong;
    if (rows < SampleRows || rows > 0x7FFFFFFF)
        return QStringLiteral("%1 rows cannot be made").arg(rows);

    QVector<QByteArray> sampleRows;
    for (int row = 0; row < SampleRows; ++row) {
        const RowPlace place = rowOnPage(file, DataPage, row);
        sampleRows.append(file.mid(place.start, place.end - place.start));
    }
    const QVector<QByteArray> pages = dataPages(sampleRows, rows);

    // The table's pages: the sample's one and the new ones, marked in bitmap pages after them.
    const int firstNew = int(file.size() / PageSize);
    QVector<int> owned{DataPage};
    for (int i = 0; i < pages.size(); ++i)
        owned.append(firstNew + i);
    const int bitmaps = owned.last() / PagesPerBitmap + 1;
    const int firstBitmap = firstNew + int(pages.size());
    QVector<QByteArray> maps(bitmaps, QByteArray(PageSize, '\0'));
    for (QByteArray& map : maps) {
        map[0] = 0x05;
        map[1] = 0x01;
    }
    for (const int page : owned) {
        QByteArray& map = maps[page / PagesPerBitmap];
        const int bit = page % PagesPerBitmap;
        map[4 + bit / 8] = char(map[4 + bit / 8] | (1 << (bit % 8)));
    }

    // The table's page map becomes one of type 1 listing the bitmap pages, in the row it had.
    const qsizetype definition = qsizetype(DefinitionPage) * PageSize;
    const quint32 mapPointer = u32(file, definition + UsageMapInDefinition);
    const RowPlace mapRow = rowOnPage(file, int(mapPointer >> 8), int(mapPointer & 0xFF));
    if (mapRow.end - mapRow.start < 1 + 4 * bitmaps)
        return QStringLiteral("the table's page map has no room for %1 bitmap pages").arg(bitmaps);
    QByteArray map(mapRow.end - mapRow.start, '\0');
    map[0] = 0x01;
    for (int i = 0; i < bitmaps; ++i)
        put32(map, 1 + 4 * i, quint32(firstBitmap + i));
    file.replace(mapRow.start, map.size(), map);
    put32(file, definition + RowCountInDefinition, quint32(rows));

    QFile out(targetPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QStringLiteral("'%1' cannot be made: %2").arg(targetPath, out.errorString());
    bool written = out.write(file) == file.size();
    for (const QByteArray& page : pages)
        written = written && out.write(page) == page.size();
    for (const QByteArray& bitmap : maps)
        written = written && out.write(bitmap) == bitmap.size();
    if (!written || !out.flush())
        return QStringLiteral("'%1' could not be written: %2").arg(targetPath, out.errorString());
    return QString();
}

} // namespace ManyRowJetFile

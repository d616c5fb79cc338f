#pragma once

#include "engine/Connection.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// A client-side recordset: every row is read when it opens, so recordCount() is exact. A recordset opened
// on a table name or on "select * from <one table> ..." is updatable: change fields with setValue() and
// call update(), or addNew(), set the fields and update(). Values are QVariant: a null is an invalid
// QVariant, integers are qlonglong, reals double, text QString.
class Recordset
{
public:
    Recordset() = default;
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // source: a query text in the Jet dialect, or the bare name of a table.
    void open(const QString& source, Connection& connection, int cursorType = Ado::Unspecified,
              int lockType = Ado::Unspecified, int options = Ado::Unspecified);
    bool isOpen() const { return m_connection != nullptr; }
    void close();

    int recordCount() const;
    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveNext();

    int fieldCount() const;
    QString fieldName(int index) const;
    // The position of a field by name (case-insensitive); an unknown name raises "Item cannot be found".
    // For reading many rows by position instead of looking the name up for each.
    int indexOf(const QString& name) const;
    // Fields by name (case-insensitive) or position; an unknown name raises the provider's error
    // "Item cannot be found" (3265).
    QVariant value(const QString& name) const;
    QVariant value(int index) const;
    // A field of any row read (0 to recordCount() - 1) by position, without moving to it: for showing the
    // rows in any order, such as a grid's cells. Pending changes are not seen. A row out of range raises
    // "Either BOF or EOF is True" (3021), a field out of range "Item cannot be found" (3265).
    QVariant valueAt(int row, int index) const;
    void setValue(const QString& name, const QVariant& value);
    // The declared length of a text column in characters (text without a length: 255); for other
    // types the size of the value in bytes (SMALLINT 2, INTEGER 4 ...).
    int definedSize(int index) const;
    int definedSize(const QString& name) const;

    void addNew();
    void update();

private:
    struct Column
    {
        QString name;
        QString declaredType;
    };
    void requireCurrentRow() const;
    qlonglong insertRow(const QStringList& names, const QVector<QVariant>& values);
    qlonglong changeCurrentRow(const QStringList& names, const QVector<QVariant>& values);
    QVector<QVariant> storedRow(qlonglong rowId) const;

    Connection* m_connection = nullptr;
    QString m_table; // set when updatable
    QVector<Column> m_columns;
    QVector<QVector<QVariant>> m_rows;
    QVector<qlonglong> m_rowIds;
    int m_position = 0;
    bool m_adding = false;
    QVector<QVariant> m_pending;
    QVector<bool> m_dirty;
};

#include "maintenance/jetimport/StoredValues.h"

#include "maintenance/jetimport/JetValues.h"

#include <cmath>

namespace JetImport {

namespace {

int decimalsOf(const JetColumn& column)
{
    return column.kind == ColumnKind::Currency ? 4 : column.scale;
}

bool isDecimalKind(ColumnKind kind)
{
    return kind == ColumnKind::Currency || kind == ColumnKind::Decimal;
}

// A whole number the database returns, with the column's decimals.
QString wholeText(qlonglong value, int decimals)
{
    return QString::number(value) +
           (decimals > 0 ? QLatin1Char('.') + QString(decimals, QLatin1Char('0')) : QString());
}

} // namespace

QVariant storedValue(const JetColumn& column, const QVariant& value)
{
    if (value.isValid() && isDecimalKind(column.kind))
        return QVariant(value.toString().toDouble());
    return value;
}

bool sameValue(const JetColumn& column, const QVariant& read, const QVariant& stored)
{
    if (!read.isValid() || !stored.isValid())
        return read.isValid() == stored.isValid();
    const int storedType = stored.typeId();
    if (isDecimalKind(column.kind)) {
        const int decimals = decimalsOf(column);
        if (storedType == QMetaType::LongLong)
            return wholeText(stored.toLongLong(), decimals) == read.toString();
        return storedType == QMetaType::Double &&
               JetValues::fixedText(stored.toDouble(), decimals) == read.toString();
    }
    switch (column.kind) {
    case ColumnKind::YesNo:
    case ColumnKind::Byte:
    case ColumnKind::Integer:
    case ColumnKind::Long:
    case ColumnKind::Counter:
        return storedType == QMetaType::LongLong && stored.toLongLong() == read.toLongLong();
    case ColumnKind::Single:
    case ColumnKind::Double: {
        if (storedType != QMetaType::Double)
            return false;
        const double a = read.toDouble();
        const double b = stored.toDouble();
        return a == b || (std::isnan(a) && std::isnan(b));
    }
    case ColumnKind::Binary:
    case ColumnKind::OleObject:
        return storedType == QMetaType::QByteArray && stored.toByteArray() == read.toByteArray();
    default:
        return storedType == QMetaType::QString && stored.toString() == read.toString();
    }
}

} // namespace JetImport

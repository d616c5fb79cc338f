#include "maintenance/jetimport/JetSchema.h"

namespace JetImport {

QString jetTypeName(const JetColumn& column)
{
    switch (column.kind) {
    case ColumnKind::YesNo:
        return QStringLiteral("YESNO");
    case ColumnKind::Byte:
        return QStringLiteral("BYTE");
    case ColumnKind::Integer:
        return QStringLiteral("SHORT");
    case ColumnKind::Long:
        return QStringLiteral("LONG");
    case ColumnKind::Counter:
        return QStringLiteral("COUNTER");
    case ColumnKind::Currency:
        return QStringLiteral("CURRENCY");
    case ColumnKind::Single:
        return QStringLiteral("SINGLE");
    case ColumnKind::Double:
        return QStringLiteral("DOUBLE");
    case ColumnKind::DateTime:
        return QStringLiteral("DATETIME");
    case ColumnKind::Binary:
        return QStringLiteral("BINARY(%1)").arg(column.size);
    case ColumnKind::Text:
        return QStringLiteral("TEXT(%1)").arg(column.size);
    case ColumnKind::OleObject:
        return QStringLiteral("LONGBINARY");
    case ColumnKind::Memo:
        return QStringLiteral("MEMO");
    case ColumnKind::ReplicationId:
        return QStringLiteral("GUID");
    case ColumnKind::Decimal:
        return QStringLiteral("DECIMAL(%1,%2)").arg(column.precision).arg(column.scale);
    case ColumnKind::Unsupported:
        break;
    }
    return QString();
}

} // namespace JetImport

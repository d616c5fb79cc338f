#include "engine/SqlDialect.h"

#include "engine/SqlText.h"

#include <QHash>
#include <QRegularExpression>

namespace {

using SqlText::Span;

// ADO reports this size for a long text (memo) column: it has no practical limit.
constexpr int LongTextSize = 536870910;
constexpr int LongBinarySize = 1073741823;

constexpr auto Options =
    QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption;

const QString Name = QStringLiteral(R"((\[[^\]]+\]|"(?:[^"]|"")+"|`[^`]+`|[^\s(),;]+))");

// The first word of a declared type in upper case, and the number in its parentheses (-1 when none).
void splitType(const QString& declaredType, QString& base, int& size)
{
    static const QRegularExpression shape(
        QStringLiteral(R"(^\s*([A-Za-z_][A-Za-z0-9_]*)[^(]*(?:\(\s*(\d+))?)"));
    const auto match = shape.match(declaredType);
    base = match.hasMatch() ? match.captured(1).toUpper() : QString();
    size = match.hasCaptured(2) ? match.captured(2).toInt() : -1;
}

// Jet type names and the SQLite declared types that stand for them. Text types keep their size in the
// declared type, so that the defined size survives in the file.
QString sqliteType(const QString& jetType)
{
    QString base;
    int size = -1;
    splitType(jetType, base, size);
    const QString sized = size >= 0 ? QStringLiteral("(%1)").arg(size) : QString();

    static const QHash<QString, QString> plain = {
        {QStringLiteral("SMALLINT"), QStringLiteral("SMALLINT")},
        {QStringLiteral("SHORT"), QStringLiteral("SMALLINT")},
        {QStringLiteral("INTEGER2"), QStringLiteral("SMALLINT")},
        {QStringLiteral("INTEGER"), QStringLiteral("INTEGER")},
        {QStringLiteral("INT"), QStringLiteral("INTEGER")},
        {QStringLiteral("LONG"), QStringLiteral("INTEGER")},
        {QStringLiteral("INTEGER4"), QStringLiteral("INTEGER")},
        {QStringLiteral("COUNTER"), QStringLiteral("INTEGER")},
        {QStringLiteral("AUTOINCREMENT"), QStringLiteral("INTEGER")},
        {QStringLiteral("BYTE"), QStringLiteral("TINYINT")},
        {QStringLiteral("TINYINT"), QStringLiteral("TINYINT")},
        {QStringLiteral("INTEGER1"), QStringLiteral("TINYINT")},
        {QStringLiteral("MEMO"), QStringLiteral("LONGTEXT")},
        {QStringLiteral("LONGTEXT"), QStringLiteral("LONGTEXT")},
        {QStringLiteral("LONGCHAR"), QStringLiteral("LONGTEXT")},
        {QStringLiteral("NOTE"), QStringLiteral("LONGTEXT")},
        {QStringLiteral("NTEXT"), QStringLiteral("LONGTEXT")},
        {QStringLiteral("DATETIME"), QStringLiteral("DATETIME")},
        {QStringLiteral("DATE"), QStringLiteral("DATETIME")},
        {QStringLiteral("TIME"), QStringLiteral("DATETIME")},
        {QStringLiteral("TIMESTAMP"), QStringLiteral("DATETIME")},
        {QStringLiteral("CURRENCY"), QStringLiteral("CURRENCY")},
        {QStringLiteral("MONEY"), QStringLiteral("CURRENCY")},
        {QStringLiteral("YESNO"), QStringLiteral("BIT")},
        {QStringLiteral("BIT"), QStringLiteral("BIT")},
        {QStringLiteral("LOGICAL"), QStringLiteral("BIT")},
        {QStringLiteral("LOGICAL1"), QStringLiteral("BIT")},
        {QStringLiteral("BOOLEAN"), QStringLiteral("BIT")},
        {QStringLiteral("DOUBLE"), QStringLiteral("DOUBLE")},
        {QStringLiteral("FLOAT"), QStringLiteral("DOUBLE")},
        {QStringLiteral("FLOAT8"), QStringLiteral("DOUBLE")},
        {QStringLiteral("NUMBER"), QStringLiteral("DOUBLE")},
        {QStringLiteral("SINGLE"), QStringLiteral("REAL")},
        {QStringLiteral("REAL"), QStringLiteral("REAL")},
        {QStringLiteral("FLOAT4"), QStringLiteral("REAL")},
        {QStringLiteral("IEEESINGLE"), QStringLiteral("REAL")},
        {QStringLiteral("LONGBINARY"), QStringLiteral("BLOB")},
        {QStringLiteral("OLEOBJECT"), QStringLiteral("BLOB")},
        {QStringLiteral("GENERAL"), QStringLiteral("BLOB")},
        {QStringLiteral("IMAGE"), QStringLiteral("BLOB")},
    };
    static const QHash<QString, QString> text = {
        {QStringLiteral("TEXT"), QStringLiteral("VARCHAR")},
        {QStringLiteral("VARCHAR"), QStringLiteral("VARCHAR")},
        {QStringLiteral("NVARCHAR"), QStringLiteral("VARCHAR")},
        {QStringLiteral("STRING"), QStringLiteral("VARCHAR")},
        {QStringLiteral("ALPHANUMERIC"), QStringLiteral("VARCHAR")},
        {QStringLiteral("CHAR"), QStringLiteral("CHAR")},
        {QStringLiteral("NCHAR"), QStringLiteral("CHAR")},
        {QStringLiteral("CHARACTER"), QStringLiteral("CHAR")},
    };

    if (text.contains(base))
        return text.value(base) + (size >= 0 ? sized : QStringLiteral("(255)"));
    if (plain.contains(base) && size < 0)
        return plain.value(base);
    if (base == QLatin1String("BINARY") || base == QLatin1String("VARBINARY"))
        return QStringLiteral("VARBINARY") + (size >= 0 ? sized : QStringLiteral("(510)"));
    return jetType.trimmed();
}

// One column definition in the Jet dialect, in SQLite's: the type mapped, Jet's Unicode compression
// dropped (SQLite stores UTF-8 anyway). When adding a NOT NULL column to a table that may hold rows,
// SQLite needs a default: the empty text (or 0 for a number), which is what the upgrade then writes.
QString translateColumnDefinition(const QString& definition, bool addingToTable)
{
    SqlText::ColumnParts parts;
    if (!SqlText::columnParts(definition, parts))
        return definition;
    static const QRegularExpression compression(QStringLiteral(R"(\s*\bWITH\s+COMP(?:RESSION)?\b)"),
                                                QRegularExpression::CaseInsensitiveOption);
    const QString name = definition.mid(parts.name.first, parts.name.second - parts.name.first);
    const QString jetType = definition.mid(parts.type.first, parts.type.second - parts.type.first);
    QString rest = definition.mid(parts.type.second);
    rest.remove(compression);
    rest = rest.trimmed();

    const QString type = jetType.isEmpty() ? QString() : sqliteType(jetType);
    QString result = name;
    if (!type.isEmpty())
        result += QLatin1Char(' ') + type;
    if (!rest.isEmpty())
        result += QLatin1Char(' ') + rest;

    static const QRegularExpression notNull(QStringLiteral(R"(\bNOT\s+NULL\b)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression hasDefault(QStringLiteral(R"(\bDEFAULT\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    if (addingToTable && notNull.match(rest).hasMatch() && !hasDefault.match(rest).hasMatch())
        result += SqlDialect::isTextType(type) || type.isEmpty() ? QStringLiteral(" DEFAULT ''")
                                                                 : QStringLiteral(" DEFAULT 0");
    return result;
}

QString translateCreateTable(const QString& statement)
{
    Span inside;
    if (!SqlText::columnList(statement, inside))
        return statement;
    QStringList definitions;
    for (const Span& part : SqlText::splitTopLevel(statement, inside.first, inside.second))
        definitions.append(
            translateColumnDefinition(statement.mid(part.first, part.second - part.first), false));
    return statement.left(inside.first) + definitions.join(QStringLiteral(", ")) +
           statement.mid(inside.second);
}

QString withoutTrailingSemicolon(const QString& statement)
{
    QString s = statement.trimmed();
    while (s.endsWith(QLatin1Char(';')))
        s = s.chopped(1).trimmed();
    return s;
}

} // namespace

namespace SqlDialect {

QString translate(const QString& jetStatement)
{
    const QString statement = withoutTrailingSemicolon(jetStatement);

    static const QRegularExpression top(QStringLiteral(R"(^select\s+(distinct\s+)?top\s+(\d+)\s+(.*)$)"),
                                        Options);
    if (const auto m = top.match(statement); m.hasMatch())
        return QStringLiteral("SELECT %1%2 LIMIT %3")
            .arg(m.captured(1), m.captured(3).trimmed(), m.captured(2));

    static const QRegularExpression addColumn(
        QStringLiteral(R"(^alter\s+table\s+%1\s+add\s+(?:column\s+)?(.+)$)").arg(Name), Options);
    if (const auto m = addColumn.match(statement); m.hasMatch())
        return QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
            .arg(m.captured(1), translateColumnDefinition(m.captured(2), true));

    static const QRegularExpression createTable(
        QStringLiteral(R"(^create\s+(?:temp\s+|temporary\s+)?table\b)"), Options);
    if (createTable.match(statement).hasMatch())
        return translateCreateTable(statement);

    return statement;
}

bool parseAlterColumn(const QString& jetStatement, AlterColumn& out)
{
    static const QRegularExpression alter(
        QStringLiteral(R"(^alter\s+table\s+%1\s+alter\s+column\s+(.+)$)").arg(Name), Options);
    const auto m = alter.match(withoutTrailingSemicolon(jetStatement));
    if (!m.hasMatch())
        return false;
    const QString definition = translateColumnDefinition(m.captured(2), false);
    SqlText::ColumnParts parts;
    if (!SqlText::columnParts(definition, parts) || parts.type.first == parts.type.second)
        return false;
    out.table = SqlText::unquoteIdentifier(m.captured(1));
    out.column =
        SqlText::unquoteIdentifier(definition.mid(parts.name.first, parts.name.second - parts.name.first));
    out.newType = definition.mid(parts.type.first).trimmed();
    return true;
}

int definedSizeOf(const QString& declaredType)
{
    QString base;
    int size = -1;
    splitType(declaredType, base, size);
    if (base.isEmpty())
        return 0;
    if (isTextType(declaredType)) {
        static const QStringList longText = {QStringLiteral("LONGTEXT"), QStringLiteral("MEMO"),
                                             QStringLiteral("CLOB"),     QStringLiteral("NTEXT"),
                                             QStringLiteral("LONGCHAR"), QStringLiteral("MEDIUMTEXT")};
        if (longText.contains(base))
            return LongTextSize;
        return size >= 0 ? size : 255;
    }
    static const QHash<QString, int> sizes = {
        {QStringLiteral("SMALLINT"), 2},
        {QStringLiteral("SHORT"), 2},
        {QStringLiteral("INT2"), 2},
        {QStringLiteral("INTEGER"), 4},
        {QStringLiteral("INT"), 4},
        {QStringLiteral("LONG"), 4},
        {QStringLiteral("MEDIUMINT"), 4},
        {QStringLiteral("INT4"), 4},
        {QStringLiteral("COUNTER"), 4},
        {QStringLiteral("BIGINT"), 8},
        {QStringLiteral("INT8"), 8},
        {QStringLiteral("TINYINT"), 1},
        {QStringLiteral("BYTE"), 1},
        {QStringLiteral("BIT"), 2},
        {QStringLiteral("YESNO"), 2},
        {QStringLiteral("BOOLEAN"), 2},
        {QStringLiteral("LOGICAL"), 2},
        {QStringLiteral("DOUBLE"), 8},
        {QStringLiteral("FLOAT"), 8},
        {QStringLiteral("FLOAT8"), 8},
        {QStringLiteral("NUMBER"), 8},
        {QStringLiteral("REAL"), 4},
        {QStringLiteral("SINGLE"), 4},
        {QStringLiteral("FLOAT4"), 4},
        {QStringLiteral("DATETIME"), 8},
        {QStringLiteral("DATE"), 8},
        {QStringLiteral("TIME"), 8},
        {QStringLiteral("TIMESTAMP"), 8},
        {QStringLiteral("CURRENCY"), 8},
        {QStringLiteral("MONEY"), 8},
        {QStringLiteral("DECIMAL"), 19},
        {QStringLiteral("NUMERIC"), 19},
        {QStringLiteral("GUID"), 16},
        {QStringLiteral("BLOB"), LongBinarySize},
        {QStringLiteral("LONGBINARY"), LongBinarySize},
    };
    if (base == QLatin1String("BINARY") || base == QLatin1String("VARBINARY"))
        return size >= 0 ? size : 510;
    return sizes.value(base, 0);
}

bool isTextType(const QString& declaredType)
{
    const QString upper = declaredType.toUpper();
    return upper.contains(QLatin1String("CHAR")) || upper.contains(QLatin1String("TEXT")) ||
           upper.contains(QLatin1String("CLOB")) || upper.contains(QLatin1String("MEMO")) ||
           upper.startsWith(QLatin1String("STRING"));
}

int textLimitOf(const QString& declaredType)
{
    if (!isTextType(declaredType))
        return 0;
    const int size = definedSizeOf(declaredType);
    return size >= LongTextSize ? 0 : size;
}

} // namespace SqlDialect

#pragma once

#include <QString>
#include <QStringList>

// Translates the Jet statement forms the programs use into SQLite's dialect.
namespace SqlDialect {

// Statement kinds that the connection must carry out itself rather than hand to SQLite as one text.
struct AlterColumn
{
    QString table;
    QString column;
    QString newType; // SQLite declared type, e.g. "VARCHAR(255)"
};

// Plain translation: "top N" to LIMIT N, Jet type names to SQLite ones, "ALTER table .. Add col type
// WITH COMPRESSION NOT NULL" to an ADD COLUMN with DEFAULT ''. Returns the SQLite text.
QString translate(const QString& jetStatement);

// Recognises "ALTER table T ALTER COLUMN C type"; returns true and fills out when it matches.
bool parseAlterColumn(const QString& jetStatement, AlterColumn& out);

// Declared size of a column type: the n of "VARCHAR(n)", "TEXT(n)", "CHAR(n)"; 255 for TEXT without n;
// byte sizes for numeric types; 0 when unknown.
int definedSizeOf(const QString& declaredType);
// Whether a declared type holds text (and so has a length limit when it carries a size).
bool isTextType(const QString& declaredType);
// The most characters a column of this type may hold; 0 when unlimited (not text, or long text).
int textLimitOf(const QString& declaredType);

} // namespace SqlDialect

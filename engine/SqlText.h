#pragma once

#include <QList>
#include <QString>
#include <utility>

// Small lexical helpers over SQL texts, shared by the dialect translation and the table rebuild.
// They understand quoting ('text', "name", [name], `name`), comments and nesting of parentheses; they
// are no parser, but enough to find the parts of a column definition without being fooled by a ','
// or a ')' inside a quoted default value.
namespace SqlText {

using Span = std::pair<qsizetype, qsizetype>; // [begin, end)

QString quoteIdentifier(const QString& name);
QString unquoteIdentifier(const QString& name);

// The position just after a quoted token or comment that starts at i; i itself when none starts there.
qsizetype skipQuoted(const QString& text, qsizetype i);
// The position of the ')' that closes the '(' at open; -1 when unbalanced.
qsizetype matchingParen(const QString& text, qsizetype open);
// The parts of text[begin, end) between top-level commas, trimmed of blanks.
QList<Span> splitTopLevel(const QString& text, qsizetype begin, qsizetype end);

// The column list of "CREATE TABLE name (...)": the positions just inside the parentheses.
bool columnList(const QString& createTable, Span& inside);

// Where the name and the declared type of a column definition lie; false for a table constraint.
// A definition without a type has an empty type span placed right after the name.
struct ColumnParts
{
    Span name;
    Span type;
};
bool columnParts(const QString& definition, ColumnParts& parts);

} // namespace SqlText

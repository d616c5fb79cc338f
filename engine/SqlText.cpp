#include "engine/SqlText.h"

#include <QStringList>

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

qsizetype skipBlanks(const QString& text, qsizetype i, qsizetype end)
{
    while (i < end && text[i].isSpace())
        ++i;
    return i;
}

// Words that end the type of a column definition and start its constraints.
bool isConstraintWord(const QString& word)
{
    static const QStringList words = {
        QStringLiteral("CONSTRAINT"), QStringLiteral("PRIMARY"), QStringLiteral("NOT"),
        QStringLiteral("NULL"),       QStringLiteral("UNIQUE"),  QStringLiteral("CHECK"),
        QStringLiteral("DEFAULT"),    QStringLiteral("COLLATE"), QStringLiteral("REFERENCES"),
        QStringLiteral("GENERATED"),  QStringLiteral("AS"),      QStringLiteral("WITH"),
        QStringLiteral("FOREIGN")};
    return words.contains(word, Qt::CaseInsensitive);
}

} // namespace

namespace SqlText {

QString quoteIdentifier(const QString& name)
{
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QString unquoteIdentifier(const QString& name)
{
    const QString t = name.trimmed();
    if (t.size() >= 2) {
        const QChar first = t.front();
        const QChar last = t.back();
        if (first == QLatin1Char('[') && last == QLatin1Char(']'))
            return t.mid(1, t.size() - 2);
        if ((first == QLatin1Char('"') || first == QLatin1Char('`') || first == QLatin1Char('\'')) &&
            last == first) {
            QString inner = t.mid(1, t.size() - 2);
            inner.replace(QString(2, first), QString(first));
            return inner;
        }
    }
    return t;
}

qsizetype skipQuoted(const QString& text, qsizetype i)
{
    const qsizetype n = text.size();
    if (i >= n)
        return i;
    const QChar c = text[i];
    if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
        qsizetype j = i + 1;
        while (j < n) {
            if (text[j] == c) {
                if (j + 1 < n && text[j + 1] == c) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    }
    if (c == QLatin1Char('[')) {
        const qsizetype close = text.indexOf(QLatin1Char(']'), i + 1);
        return close < 0 ? n : close + 1;
    }
    if (c == QLatin1Char('-') && i + 1 < n && text[i + 1] == QLatin1Char('-')) {
        const qsizetype eol = text.indexOf(QLatin1Char('\n'), i + 2);
        return eol < 0 ? n : eol + 1;
    }
    if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
        const qsizetype close = text.indexOf(QStringLiteral("*/"), i + 2);
        return close < 0 ? n : close + 2;
    }
    return i;
}

qsizetype matchingParen(const QString& text, qsizetype open)
{
    int depth = 0;
    qsizetype i = open;
    while (i < text.size()) {
        const qsizetype after = skipQuoted(text, i);
        if (after != i) {
            i = after;
            continue;
        }
        if (text[i] == QLatin1Char('('))
            ++depth;
        else if (text[i] == QLatin1Char(')') && --depth == 0)
            return i;
        ++i;
    }
    return -1;
}

QList<Span> splitTopLevel(const QString& text, qsizetype begin, qsizetype end)
{
    QList<Span> parts;
    qsizetype start = begin;
    qsizetype i = begin;
    int depth = 0;
    auto add = [&](qsizetype from, qsizetype to) {
        while (from < to && text[from].isSpace())
            ++from;
        while (to > from && text[to - 1].isSpace())
            --to;
        parts.append({from, to});
    };
    while (i < end) {
        const qsizetype after = skipQuoted(text, i);
        if (after != i) {
            i = after;
            continue;
        }
        const QChar c = text[i];
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (c == QLatin1Char(',') && depth == 0) {
            add(start, i);
            start = i + 1;
        }
        ++i;
    }
    add(start, end);
    return parts;
}

bool columnList(const QString& createTable, Span& inside)
{
    qsizetype i = 0;
    while (i < createTable.size()) {
        const qsizetype after = skipQuoted(createTable, i);
        if (after != i) {
            i = after;
            continue;
        }
        if (createTable[i] == QLatin1Char('(')) {
            const qsizetype close = matchingParen(createTable, i);
            if (close < 0)
                return false;
            inside = {i + 1, close};
            return true;
        }
        ++i;
    }
    return false;
}

bool columnParts(const QString& definition, ColumnParts& parts)
{
    const qsizetype n = definition.size();
    qsizetype i = skipBlanks(definition, 0, n);
    if (i >= n)
        return false;

    const qsizetype nameBegin = i;
    const qsizetype quotedEnd = skipQuoted(definition, i);
    if (quotedEnd != i) {
        i = quotedEnd;
    } else {
        while (i < n && isWordChar(definition[i]))
            ++i;
        if (i == nameBegin)
            return false;
        const QString word = definition.mid(nameBegin, i - nameBegin);
        if (isConstraintWord(word))
            return false;
    }
    parts.name = {nameBegin, i};

    // The type: words up to the first constraint word, then an optional "(n)" or "(p, s)".
    qsizetype typeBegin = skipBlanks(definition, i, n);
    qsizetype typeEnd = typeBegin;
    qsizetype j = typeBegin;
    while (j < n) {
        qsizetype wordEnd = j;
        while (wordEnd < n && isWordChar(definition[wordEnd]))
            ++wordEnd;
        if (wordEnd == j || isConstraintWord(definition.mid(j, wordEnd - j)))
            break;
        typeEnd = wordEnd;
        j = skipBlanks(definition, wordEnd, n);
        if (j < n && definition[j] == QLatin1Char('(')) {
            const qsizetype close = matchingParen(definition, j);
            if (close >= 0)
                typeEnd = close + 1;
            break;
        }
    }
    if (typeEnd == typeBegin)
        typeBegin = typeEnd = parts.name.second;
    parts.type = {typeBegin, typeEnd};
    return true;
}

} // namespace SqlText

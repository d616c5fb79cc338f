#include "engine/ConnectionString.h"

#include "base/AppError.h"

namespace {

[[noreturn]] void malformed(const QString& why)
{
    throw AppError(ErrorNumber::Unspecified,
                   QStringLiteral("The connection string is not valid: %1.").arg(why));
}

bool isBlank(QChar c)
{
    return c.isSpace();
}

} // namespace

ConnectionString ConnectionString::parse(const QString& text)
{
    if (text.trimmed().isEmpty())
        malformed(QStringLiteral("it is empty"));

    ConnectionString result;
    const qsizetype length = text.size();
    qsizetype i = 0;
    while (i < length) {
        while (i < length && (isBlank(text[i]) || text[i] == QLatin1Char(';')))
            ++i;
        if (i >= length)
            break;

        const qsizetype equals = text.indexOf(QLatin1Char('='), i);
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            const QString part = text.mid(i, semicolon < 0 ? -1 : semicolon - i).trimmed();
            malformed(QStringLiteral("\"%1\" has no \"=\" between a key and its value").arg(part));
        }
        const QString key = text.mid(i, equals - i).trimmed().toLower();
        if (key.isEmpty())
            malformed(QStringLiteral("a value at position %1 has no key").arg(equals + 1));
        i = equals + 1;

        while (i < length && isBlank(text[i]))
            ++i;
        QString value;
        if (i < length && (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\''))) {
            const QChar quote = text[i++];
            bool closed = false;
            while (i < length) {
                if (text[i] == quote) {
                    if (i + 1 < length && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                malformed(QStringLiteral("the value of \"%1\" has no closing quote").arg(key));
            while (i < length && isBlank(text[i]))
                ++i;
            if (i < length && text[i] != QLatin1Char(';'))
                malformed(QStringLiteral("the quoted value of \"%1\" is followed by more text").arg(key));
        } else {
            const qsizetype end = text.indexOf(QLatin1Char(';'), i);
            value = text.mid(i, end < 0 ? -1 : end - i).trimmed();
            i = end < 0 ? length : end;
        }
        result.m_values.insert(key, value);
    }
    if (result.m_values.isEmpty())
        malformed(QStringLiteral("it holds no key=value pair"));
    return result;
}

bool ConnectionString::contains(const QString& key) const
{
    return m_values.contains(key.trimmed().toLower());
}

QString ConnectionString::value(const QString& key) const
{
    return m_values.value(key.trimmed().toLower());
}

QString ConnectionString::quoteValue(const QString& value)
{
    const bool hasDouble = value.contains(QLatin1Char('"'));
    const bool hasSingle = value.contains(QLatin1Char('\''));
    const bool needsQuotes = hasDouble || hasSingle || value.contains(QLatin1Char(';')) ||
                             (!value.isEmpty() && (isBlank(value.front()) || isBlank(value.back())));
    if (!needsQuotes)
        return value;
    if (hasDouble && !hasSingle)
        return QLatin1Char('\'') + value + QLatin1Char('\'');
    QString doubled = value;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

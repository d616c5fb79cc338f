#pragma once

#include <QMap>
#include <QString>

// An OLE DB connection string: "key=value;key=value". Keys are matched without regard to case; a value
// may be wrapped in double or single quotes (a doubled quote inside stands for one).
class ConnectionString
{
public:
    // Throws AppError (Unspecified) when the text is not in key=value form.
    static ConnectionString parse(const QString& text);

    bool contains(const QString& key) const;
    QString value(const QString& key) const; // empty when absent

    // Quotes a value by OLE DB's rules only when it needs it (";", a quote, "=" is fine, leading or
    // trailing blanks); every other value is returned byte for byte.
    static QString quoteValue(const QString& value);

private:
    QMap<QString, QString> m_values; // lower-case key -> unquoted value
};

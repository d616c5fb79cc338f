#pragma once

#include <QString>
#include <initializer_list>

// Joins path pieces with the platform's separator, exactly as given: nothing is normalised, so a piece
// that already ends with a separator yields a doubled one, as the data files have always recorded it.
inline QString joinPath(std::initializer_list<QString> pieces)
{
    QString result;
    bool first = true;
    for (const QString& piece : pieces) {
        if (!first)
            result += QLatin1Char('/');
        result += piece;
        first = false;
    }
    return result;
}

// The path of name inside folder, with one separator between them however folder ends.
inline QString pathInFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

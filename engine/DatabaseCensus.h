#pragma once

#include <QMap>
#include <QString>

class Connection;

// What a whole-file copy of a database must have kept: every table of the main schema with its number of
// rows. Two files with equal censuses hold the same tables with as many rows each.
struct DatabaseCensus
{
    QMap<QString, qint64> rowsByTable;

    bool operator==(const DatabaseCensus&) const = default;

    // Counts the tables of the open connection's schema ("main" or an attached one). Throws AppError.
    static DatabaseCensus take(Connection& connection, const QString& schema = QStringLiteral("main"));
    // A short text naming the first difference, for a user reading why a copy was refused.
    static QString difference(const DatabaseCensus& original, const DatabaseCensus& copy);
};

namespace DatabaseCheck {
// SQLite's quick check of the open database: empty when it passes, otherwise its first findings.
QString quickCheckProblems(Connection& connection);
} // namespace DatabaseCheck

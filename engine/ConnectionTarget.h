#pragma once

#include <QString>

// What a connection string names: the database file and its password. The string is either the OLE DB
// form or a data-link reference ("FILE NAME=<path of a .udl file>"), whose file holds the OLE DB form.
struct ConnectionTarget
{
    QString path;
    QString password;

    // Raises AppError: ProviderNotFound for a provider other than Jet 4.0, Unspecified for a missing
    // Data Source, an engine type other than 5 or an unreadable data-link file.
    static ConnectionTarget of(const QString& connectionString);
};

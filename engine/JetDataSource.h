#pragma once

#include <QString>

// The database file and password a connection string names: an OLE DB string for the Jet provider, or a
// "FILE NAME=" reference to a data-link file that holds one.
struct JetDataSource
{
    QString path;
    QString password; // empty when none is given

    // Throws AppError: ProviderNotFound for another provider, Unspecified for a string that names no file,
    // asks for an engine type other than 5, or is not in key=value form.
    static JetDataSource fromConnectionString(const QString& connectionString);
};

#pragma once

#include <QString>

// Reader of a data-link file: UTF-16LE with a byte-order mark, the line "[oledb]", comment lines that
// start with ";", then the connection string. Anything else is an AppError (Unspecified) whose
// description names the file and what is wrong with it.
namespace DataLinkFile {
QString readConnectionString(const QString& path);
}

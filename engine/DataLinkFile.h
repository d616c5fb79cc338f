#pragma once

#include <QString>

// Data-link files: UTF-16LE with a byte-order mark, the line "[oledb]", comment lines that start with
// ";", then the connection string, each line ended by CR LF.
namespace DataLinkFile {

// Anything but the layout above is an AppError (Unspecified) whose description names the file and what
// is wrong with it.
QString readConnectionString(const QString& path);

// Writes the file whole or not at all: a failure leaves the old file as it was and raises AppError
// (Unspecified). A symbolic link is written through; an existing file keeps its mode.
void write(const QString& path, const QString& connectionString);

} // namespace DataLinkFile

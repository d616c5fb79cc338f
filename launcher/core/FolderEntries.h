#pragma once

#include <QStringList>

// The names in the open folder fd (without "." and ".."), read through a descriptor of its own so that
// fd stays usable. 0, or the errno when the folder could not be read.
int folderEntries(int fd, QStringList& names);

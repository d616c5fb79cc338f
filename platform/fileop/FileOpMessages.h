#pragma once

#include "platform/fileop/FileOperation.h"

#include <QString>

// The sentences of the operation's error box, and the failure kind that goes with a system error.
namespace FileOpMessages {

FileOpFailure failureOf(int error);

// "Cannot copy "a" to "b": <why>." Errors on reading name the source only.
FileOpResult copyFailed(int error, bool onSource, const QString& source, const QString& target);
FileOpResult deleteFailed(int error, const QString& path);
FileOpResult missing(const QString& path);
FileOpResult inUse(const QString& path, const QString& action);
FileOpResult copyCancelled(const QString& current);
FileOpResult noTrash(const QString& path, const QString& reason);
FileOpResult invalid(const QString& sentence);

} // namespace FileOpMessages

#pragma once

#include "platform/fileop/FileOperation.h"

#include <QString>
#include <QStringList>

class IFileOperationUi;

// One delete request: the question, the in-use check of every file it would remove, then the removal or
// the move into the trash. A database's journal goes with it, so that it is never rolled back into a
// later file of the same name.
class DeleteJob
{
public:
    DeleteJob(IFileOperationUi& ui, int flags);
    FileOpResult run(const QString& path);

private:
    FileOpResult removeItem(const QString& item);

    IFileOperationUi& m_ui;
    int m_flags;
};

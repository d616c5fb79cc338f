#include "platform/fileop/ShellFileOperation.h"

#include "platform/fileop/CopyJob.h"
#include "platform/fileop/DeleteJob.h"

FileOpResult ShellFileOperation::copy(const QString& source, const QString& target, int flags)
{
    return CopyJob(m_ui, flags, m_chunkSize).run(source, target);
}

FileOpResult ShellFileOperation::remove(const QString& path, int flags)
{
    return DeleteJob(m_ui, flags).run(path);
}

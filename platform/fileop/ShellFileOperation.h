#pragma once

#include "platform/fileop/FileOperation.h"

class IFileOperationUi;

// The shell file operation on a desktop without one: copy and delete with the flag words' meanings,
// shown through the given user interface (the Qt windows, or a scripted one in tests).
class ShellFileOperation : public IFileOperation
{
public:
    explicit ShellFileOperation(IFileOperationUi& ui) : m_ui(ui) {}

    FileOpResult copy(const QString& source, const QString& target, int flags) override;
    FileOpResult remove(const QString& path, int flags) override;

    // How much is copied between two looks at the Cancel button. Tests make it small, to cancel half-way.
    void setChunkSize(qint64 bytes) { m_chunkSize = bytes; }

private:
    IFileOperationUi& m_ui;
    qint64 m_chunkSize = 4 * 1024 * 1024;
};

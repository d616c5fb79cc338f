#include "maintenance/BackupProgressWindow.h"

#include "platform/fileop/FileOperationUi.h"

#include <algorithm>

BackupProgressWindow::BackupProgressWindow(IFileOperationUi& ui, QString what)
    : m_ui(ui), m_what(std::move(what))
{}

BackupProgressWindow::~BackupProgressWindow()
{
    if (m_open)
        m_ui.progressFinished();
}

void BackupProgressWindow::begin(qint64 totalBytes)
{
    m_total = totalBytes;
    if (!m_open)
        m_ui.progressStarted(QStringLiteral("Copying"), totalBytes);
    m_open = true;
    m_ui.progressUpdate(m_what, 0, m_total);
}

void BackupProgressWindow::advance(qint64 doneBytes)
{
    m_ui.progressUpdate(m_what, std::min(doneBytes, m_total), m_total);
    if (m_ui.cancelRequested())
        throw BackupCancelled();
}

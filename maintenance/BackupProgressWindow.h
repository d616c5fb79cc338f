#pragma once

#include "maintenance/backup/BackupProgress.h"

#include <QString>

class IFileOperationUi;

// Shows a backup's progress in the file operation's progress window, with its Cancel button: a press of
// Cancel stops the backup (advance throws BackupCancelled). The window closes when this object ends.
class BackupProgressWindow final : public IBackupProgress
{
public:
    BackupProgressWindow(IFileOperationUi& ui, QString what);
    ~BackupProgressWindow() override;
    BackupProgressWindow(const BackupProgressWindow&) = delete;
    BackupProgressWindow& operator=(const BackupProgressWindow&) = delete;

    void begin(qint64 totalBytes) override;
    void advance(qint64 doneBytes) override;

private:
    IFileOperationUi& m_ui;
    QString m_what;
    qint64 m_total = 0;
    bool m_open = false;
};

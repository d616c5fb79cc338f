#pragma once

#include "platform/fileop/FileOperationUi.h"

#include <QPointer>

class FileOperationProgressWindow;
class QWidget;

// The file operation's own windows: a modal progress window, the replace, delete and create-folder
// questions and an error box, all titled with the program's title.
class QtFileOperationUi : public IFileOperationUi
{
public:
    explicit QtFileOperationUi(QString programTitle, QWidget* parent = nullptr);
    ~QtFileOperationUi() override;

    void progressStarted(const QString& caption, qint64 totalBytes) override;
    void progressUpdate(const QString& currentFile, qint64 bytesDone, qint64 totalBytes) override;
    bool cancelRequested() override;
    void progressFinished() override;

    ReplaceAnswer askReplace(const QString& target, const QString& source) override;
    bool askDelete(const QString& what, bool toTrash) override;
    bool askCreateFolder(const QString& folder) override;
    void showError(const QString& text) override;

private:
    QWidget* owner() const;

    QString m_title;
    QPointer<QWidget> m_parent;
    QPointer<FileOperationProgressWindow> m_progress;
};

#pragma once

#include "platform/fileop/FileOperationUi.h"

#include <QList>
#include <QString>
#include <QStringList>

// Drives the file operation in tests: records every question, error and progress step, answers the
// questions from queues and can press Cancel after a given number of progress updates. A question with
// nothing queued is a test fault and aborts with the question's subject.
class ScriptedFileOperationUi : public IFileOperationUi
{
public:
    enum class Kind
    {
        Replace,
        Delete,
        CreateFolder
    };
    struct Question
    {
        Kind kind;
        QString path; // the file to replace, the item to delete or the folder to create
        bool operator==(const Question&) const = default;
    };
    struct Update
    {
        QString file;
        qint64 done = 0;
        qint64 total = 0;
    };

    void queueReplace(ReplaceAnswer answer) { m_replaceAnswers.append(answer); }
    void queueDelete(bool answer) { m_yesNoAnswers.append(answer); }
    void queueCreateFolder(bool answer) { m_yesNoAnswers.append(answer); }
    // Cancel is pressed once this many progress updates have been shown.
    void cancelAfterUpdates(int count) { m_cancelAfter = count; }

    void progressStarted(const QString& caption, qint64 totalBytes) override;
    void progressUpdate(const QString& currentFile, qint64 bytesDone, qint64 totalBytes) override;
    bool cancelRequested() override;
    void progressFinished() override;
    ReplaceAnswer askReplace(const QString& target, const QString& source) override;
    bool askDelete(const QString& what, bool toTrash) override;
    bool askCreateFolder(const QString& folder) override;
    void showError(const QString& text) override;

    const QList<Question>& questions() const { return m_questions; }
    const QStringList& errors() const { return m_errors; }
    const QList<Update>& updates() const { return m_updates; }
    int progressWindowsShown() const { return m_started; }
    bool progressOpen() const { return m_open; }
    int pendingAnswers() const { return int(m_replaceAnswers.size() + m_yesNoAnswers.size()); }

private:
    bool nextYesNo(const QString& subject);

    QList<ReplaceAnswer> m_replaceAnswers;
    QList<bool> m_yesNoAnswers;
    QList<Question> m_questions;
    QStringList m_errors;
    QList<Update> m_updates;
    int m_cancelAfter = -1;
    int m_started = 0;
    bool m_open = false;
};

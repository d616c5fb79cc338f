#pragma once

#include "platform/FolderPicker.h"

#include <QList>
#include <QString>

// Answer from a queue (the empty text, a cancel, when nothing is queued) and record what was asked.
class ScriptedFolderPicker : public IFolderPicker
{
public:
    struct Call
    {
        QString startFolder;
        QString prompt;
    };
    void queueAnswer(const QString& folder) { m_answers.append(folder); }
    QString browse(const QString& startFolder, const QString& prompt) override
    {
        m_calls.append({startFolder, prompt});
        return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
    }
    const QList<Call>& calls() const { return m_calls; }

private:
    QList<Call> m_calls;
    QList<QString> m_answers;
};

class ScriptedFileOpenDialog : public IFileOpenDialog
{
public:
    struct Call
    {
        QString title;
        QString filter;
        QString defaultExtension;
    };
    void queueAnswer(const QString& path) { m_answers.append(path); }
    QString open(const QString& title, const QString& filter, const QString& defaultExtension) override
    {
        m_calls.append({title, filter, defaultExtension});
        return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
    }
    const QList<Call>& calls() const { return m_calls; }

private:
    QList<Call> m_calls;
    QList<QString> m_answers;
};

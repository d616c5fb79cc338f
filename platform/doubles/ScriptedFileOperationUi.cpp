#include "platform/doubles/ScriptedFileOperationUi.h"

#include <QtGlobal>

void ScriptedFileOperationUi::progressStarted(const QString&, qint64)
{
    ++m_started;
    m_open = true;
}

void ScriptedFileOperationUi::progressUpdate(const QString& currentFile, qint64 bytesDone, qint64 totalBytes)
{
    m_updates.append({currentFile, bytesDone, totalBytes});
}

bool ScriptedFileOperationUi::cancelRequested()
{
    return m_cancelAfter >= 0 && m_updates.size() >= m_cancelAfter;
}

void ScriptedFileOperationUi::progressFinished()
{
    m_open = false;
}

ReplaceAnswer ScriptedFileOperationUi::askReplace(const QString& target, const QString&)
{
    m_questions.append({Kind::Replace, target});
    if (m_replaceAnswers.isEmpty())
        qFatal("Unexpected replace question for %s", qPrintable(target));
    return m_replaceAnswers.takeFirst();
}

bool ScriptedFileOperationUi::askDelete(const QString& what, bool)
{
    m_questions.append({Kind::Delete, what});
    return nextYesNo(what);
}

bool ScriptedFileOperationUi::askCreateFolder(const QString& folder)
{
    m_questions.append({Kind::CreateFolder, folder});
    return nextYesNo(folder);
}

void ScriptedFileOperationUi::showError(const QString& text)
{
    m_errors.append(text);
}

bool ScriptedFileOperationUi::nextYesNo(const QString& subject)
{
    if (m_yesNoAnswers.isEmpty())
        qFatal("Unexpected question about %s", qPrintable(subject));
    return m_yesNoAnswers.takeFirst();
}

#pragma once

#include "platform/ProgramStarter.h"

#include <QList>

// Records each start and answers with a scripted shell code (42, success, when nothing is queued).
class RecordingProgramStarter : public IProgramStarter
{
public:
    struct Call
    {
        QString file;
        QString parameters;
        QString directory;
        int showCommand = 0;
    };
    void queueResult(int code) { m_results.append(code); }
    int start(const QString& file, const QString& parameters, const QString& directory,
              int showCommand) override
    {
        m_calls.append({file, parameters, directory, showCommand});
        return m_results.isEmpty() ? ShellCode::Success : m_results.takeFirst();
    }
    const QList<Call>& calls() const { return m_calls; }

private:
    QList<Call> m_calls;
    QList<int> m_results;
};

#pragma once

#include "platform/MessageBox.h"

#include <QList>
#include <QString>

// Records every box asked for and answers from a queue. A box with only an OK button answers OK when
// nothing is queued; a question with nothing queued is a test fault and aborts with the box's text.
class ScriptedMessageBox : public IMessageBox
{
public:
    struct Call
    {
        QString text;
        int style = 0;
        QString title; // as passed, before the default title is applied
        bool operator==(const Call&) const = default;
    };

    void queueAnswer(int answer) { m_answers.append(answer); }
    int show(const QString& text, int style, const QString& title) override;

    const QList<Call>& calls() const { return m_calls; }
    int pendingAnswers() const { return int(m_answers.size()); }
    void clear()
    {
        m_calls.clear();
        m_answers.clear();
    }

private:
    QList<Call> m_calls;
    QList<int> m_answers;
};

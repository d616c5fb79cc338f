#include "platform/doubles/ScriptedMessageBox.h"

#include <QtGlobal>

int ScriptedMessageBox::show(const QString& text, int style, const QString& title)
{
    m_calls.append({text, style, title});
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    // A box with only OK has one possible answer; a question nobody scripted is a fault of the test, and
    // guessing an answer would let the test go on down a path nobody meant.
    if ((style & 0x7) == 4)
        qFatal("ScriptedMessageBox: no answer queued for the question \"%s\" (style %d)", qPrintable(text),
               style);
    return MsgResult::Ok;
}

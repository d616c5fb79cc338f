#include "platform/QtFatalError.h"

#include "platform/MessageBox.h"

#include <cstdio>
#include <cstdlib>

QtFatalError::QtFatalError(IMessageBox& messageBox, QString programTitle)
    : m_messageBox(messageBox), m_programTitle(std::move(programTitle))
{}

void QtFatalError::report(long number, const QString& description)
{
    const QString text = runTimeErrorText(number, description);
    // Also on the error stream, so that a run without anyone at the screen leaves a trace.
    std::fprintf(stderr, "%s: %s\n", qPrintable(m_programTitle),
                 qPrintable(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
    std::fflush(stderr);
    m_messageBox.show(text, MsgStyle::Critical, m_programTitle);
    // The report can come from deep inside nested event loops (a modal window over a modal window), with
    // half-finished work on the stack. Unwinding back to main() or running exit() would run destructors
    // and static clean-up against that state, and the error itself may come from a destructor; ending
    // here means nothing after the error runs. Databases are written through SQLite's journal and the
    // settings are synced on every save, so nothing buffered in Qt is lost; only the C streams need
    // flushing. _Exit also skips the sanitizer builds' leak check, which would change the status.
    std::fflush(nullptr);
    std::_Exit(1);
}

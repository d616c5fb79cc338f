#pragma once

#include "platform/FatalError.h"

class IMessageBox;

// The real run-time error report: shows the box, then ends the process with status 1.
class QtFatalError : public IFatalError
{
public:
    QtFatalError(IMessageBox& messageBox, QString programTitle);
    using IFatalError::report;
    [[noreturn]] void report(long number, const QString& description) override;

private:
    IMessageBox& m_messageBox;
    QString m_programTitle;
};

#include "platform/FatalError.h"

#include "base/AppError.h"

#include <QtGlobal>

void IFatalError::report(const AppError& error)
{
    report(error.number(), error.description());
}

QString runTimeErrorText(long number, const QString& description)
{
    QString shown = QString::number(number);
    // Error numbers that came from the database provider are status codes; users and support people
    // know them by their hexadecimal form, so a negative number is also shown that way.
    if (number < 0)
        shown += QStringLiteral(" (%1)").arg(static_cast<quint32>(number), 0, 16);
    return QStringLiteral("Run-time error '") + shown + QStringLiteral("':\r\n\r\n") + description;
}

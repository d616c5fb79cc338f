#include "platform/ProgramStarter.h"

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

// The rules of the Microsoft C runtime's argument parser (the one that builds argv for a program started
// with a command-line text), including its later reading of "" inside quotes as one literal quote.
QStringList splitWindowsCommandLine(const QString& parameters)
{
    QStringList arguments;
    const qsizetype size = parameters.size();
    qsizetype i = 0;
    const auto at = [&](qsizetype index) {
        return index < size ? parameters[index] : QChar();
    };
    for (;;) {
        while (i < size && isBlank(parameters[i]))
            ++i;
        if (i >= size)
            break;
        QString argument;
        bool inQuotes = false;
        for (;;) {
            qsizetype backslashes = 0;
            while (at(i) == QLatin1Char('\\')) {
                ++i;
                ++backslashes;
            }
            bool copy = true;
            if (at(i) == QLatin1Char('"')) {
                if (backslashes % 2 == 0) {
                    if (inQuotes && at(i + 1) == QLatin1Char('"')) {
                        ++i; // "" inside quotes: the second one is kept as a literal quote
                    } else {
                        copy = false;
                        inQuotes = !inQuotes;
                    }
                }
                backslashes /= 2;
            }
            argument += QString(backslashes, QLatin1Char('\\'));
            if (i >= size || (!inQuotes && isBlank(parameters[i])))
                break;
            if (copy)
                argument += parameters[i];
            ++i;
        }
        arguments.append(argument);
    }
    return arguments;
}

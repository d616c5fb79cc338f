#include "maintenance/cli/Arguments.h"

Arguments::Arguments(const QStringList& arguments, const QSet<QString>& switches, const QSet<QString>& valued)
{
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QStringLiteral("-")) {
            m_operands.append(argument);
            continue;
        }
        if (argument == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        if (switches.contains(name) && equals < 0) {
            m_switches.insert(name);
        } else if (valued.contains(name)) {
            if (m_values.contains(name))
                throw UsageError(QStringLiteral("%1 is given twice.").arg(name));
            if (equals >= 0) {
                m_values.insert(name, argument.mid(equals + 1));
            } else {
                if (i + 1 >= arguments.size())
                    throw UsageError(QStringLiteral("%1 needs a value.").arg(name));
                m_values.insert(name, arguments[++i]);
            }
        } else {
            throw UsageError(QStringLiteral("unknown option '%1'.").arg(argument));
        }
    }
}

void Arguments::requireOperands(int least, int most, const QString& names) const
{
    if (m_operands.size() < least)
        throw UsageError(QStringLiteral("missing %1.").arg(names));
    if (m_operands.size() > most)
        throw UsageError(
            QStringLiteral("too many arguments: '%1' is one more than %2.").arg(m_operands[most], names));
}

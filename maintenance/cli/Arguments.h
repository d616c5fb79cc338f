#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <stdexcept>

// Wrong usage of a command: the message says what is wrong; the command line adds how to get help.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// One command's arguments split into options and operands. Options are "--name" switches or
// "--name VALUE" / "--name=VALUE"; "--" ends them. Anything else starting with "-" is an unknown option.
class Arguments
{
public:
    Arguments(const QStringList& arguments, const QSet<QString>& switches, const QSet<QString>& valued);

    bool has(const QString& option) const { return m_switches.contains(option) || m_values.contains(option); }
    QString value(const QString& option) const { return m_values.value(option); }
    const QStringList& operands() const { return m_operands; }
    // Throws UsageError unless there are between least and most operands.
    void requireOperands(int least, int most, const QString& names) const;

private:
    QSet<QString> m_switches;
    QMap<QString, QString> m_values;
    QStringList m_operands;
};

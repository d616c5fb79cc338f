#pragma once

#include "platform/FatalError.h"

#include <QList>

// Records the fatal reports instead of ending the program.
class RecordingFatalError : public IFatalError
{
public:
    struct Report
    {
        long number = 0;
        QString description;
    };
    using IFatalError::report;
    void report(long number, const QString& description) override { m_reports.append({number, description}); }
    const QList<Report>& reports() const { return m_reports; }
    bool ended() const { return !m_reports.isEmpty(); }

private:
    QList<Report> m_reports;
};

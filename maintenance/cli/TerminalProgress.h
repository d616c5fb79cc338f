#pragma once

#include "maintenance/backup/BackupProgress.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>

// On a terminal, one line rewritten in place: bytes done of the total, the rate and the time left, at
// most a few times a second. Elsewhere (a log, a pipe) it writes nothing.
class TerminalProgress final : public IBackupProgress
{
public:
    TerminalProgress(bool terminal, std::function<void(const QString&)> write);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void begin(qint64 totalBytes) override;
    void advance(qint64 doneBytes) override;
    // Clears the line, so that what follows starts on a clean one.
    void end();

    // The line for done of total bytes after seconds: "12.0 of 40.0 MiB, 85.3 MiB/s, 1 s left".
    static QString line(qint64 done, qint64 total, double seconds);

private:
    bool m_terminal;
    std::function<void(const QString&)> m_write;
    QElapsedTimer m_clock;
    qint64 m_total = 0;
    qint64 m_lastShown = -1;
    bool m_shown = false;
};

#include "maintenance/cli/TerminalProgress.h"

#include <cmath>

namespace {

constexpr double MiB = 1024.0 * 1024.0;
constexpr qint64 ShownEveryMs = 200;

} // namespace

TerminalProgress::TerminalProgress(bool terminal, std::function<void(const QString&)> write)
    : m_terminal(terminal), m_write(std::move(write))
{}

TerminalProgress::~TerminalProgress()
{
    end();
}

void TerminalProgress::begin(qint64 totalBytes)
{
    m_total = totalBytes;
    m_clock.start();
    m_lastShown = -1;
}

void TerminalProgress::advance(qint64 doneBytes)
{
    if (!m_terminal || !m_clock.isValid())
        return;
    const qint64 now = m_clock.elapsed();
    if (m_lastShown >= 0 && now - m_lastShown < ShownEveryMs && doneBytes < m_total)
        return;
    m_lastShown = now;
    m_shown = true;
    m_write(QStringLiteral("\r\033[K") + line(doneBytes, m_total, double(now) / 1000.0));
}

void TerminalProgress::end()
{
    if (m_shown)
        m_write(QStringLiteral("\r\033[K"));
    m_shown = false;
}

QString TerminalProgress::line(qint64 done, qint64 total, double seconds)
{
    const double rate = seconds > 0 ? double(done) / seconds : 0;
    QString text =
        QStringLiteral("%1 of %2 MiB").arg(double(done) / MiB, 0, 'f', 1).arg(double(total) / MiB, 0, 'f', 1);
    if (rate <= 0)
        return text;
    const qint64 left = std::llround(double(std::max<qint64>(total - done, 0)) / rate);
    return text + QStringLiteral(", %1 MiB/s, %2 s left").arg(rate / MiB, 0, 'f', 1).arg(left);
}

#include "maintenance/cli/QuietOutput.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

QuietOutput::QuietOutput()
    : m_savedOut(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)),
      m_savedErr(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)),
      m_nowhere(::open("/dev/null", O_WRONLY | O_CLOEXEC))
{
    if (!m_savedOut || !m_savedErr || !m_nowhere) {
        m_nowhere.reset();
        return;
    }
    silence();
}

QuietOutput::~QuietOutput()
{
    end();
}

void QuietOutput::speak(const std::function<void()>& write)
{
    restore();
    write();
    silence();
}

void QuietOutput::end()
{
    restore();
    m_nowhere.reset();
}

void QuietOutput::restore()
{
    if (!m_nowhere)
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(m_savedOut.get(), STDOUT_FILENO);
    ::dup2(m_savedErr.get(), STDERR_FILENO);
}

void QuietOutput::silence()
{
    if (!m_nowhere)
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(m_nowhere.get(), STDOUT_FILENO);
    ::dup2(m_nowhere.get(), STDERR_FILENO);
}

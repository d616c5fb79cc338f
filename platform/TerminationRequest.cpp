#include "platform/TerminationRequest.h"

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end of the pipe the handler reports through: the only thing a signal handler may touch.
volatile sig_atomic_t g_writeFd = -1;

} // namespace

TerminationRequest::TerminationRequest(QObject* parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_read.reset(fds[0]);
    m_write.reset(fds[1]);
    g_writeFd = m_write.get();
    m_notifier = std::make_unique<QSocketNotifier>(m_read.get(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationRequest::closeWindows);
    struct sigaction action
    {};
    action.sa_handler = &TerminationRequest::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &m_oldTerm);
    ::sigaction(SIGINT, &action, &m_oldInt);
}

TerminationRequest::~TerminationRequest()
{
    if (!m_write)
        return;
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    g_writeFd = -1;
}

void TerminationRequest::onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    if (g_writeFd >= 0) {
        const ssize_t written = ::write(g_writeFd, &byte, 1);
        static_cast<void>(written); // a full pipe holds a request already
    }
    errno = saved;
}

void TerminationRequest::closeWindows()
{
    char bytes[16];
    while (::read(m_read.get(), bytes, sizeof bytes) > 0) {
    }
    QApplication::closeAllWindows();
}

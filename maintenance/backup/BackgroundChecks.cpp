#include "maintenance/backup/BackgroundChecks.h"

#include <exception>

BackgroundChecks::BackgroundChecks() : m_thread([this] { work(); }) {}

BackgroundChecks::~BackgroundChecks()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void BackgroundChecks::add(std::function<QString()> check)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(check));
    }
    m_wake.notify_all();
}

QString BackgroundChecks::finish()
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_queue.empty() && !m_busy; });
    return m_problem;
}

void BackgroundChecks::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_closing || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        std::function<QString()> check = std::move(m_queue.front());
        m_queue.pop_front();
        // Once something failed, the rest need not run: the outcome is decided.
        const bool skip = !m_problem.isEmpty();
        m_busy = true;
        lock.unlock();
        QString problem;
        if (!skip) {
            try {
                problem = check();
            } catch (const std::exception& error) {
                problem = QString::fromLocal8Bit(error.what());
            }
        }
        lock.lock();
        m_busy = false;
        if (m_problem.isEmpty())
            m_problem = problem;
        m_wake.notify_all();
    }
}

#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Runs checks one after another on a thread of their own, so that a copy already finished is checked
// while the next one is made. A check returns the empty text when it passes, or a sentence that names
// the file and what is wrong; the first such sentence is kept.
class BackgroundChecks
{
public:
    BackgroundChecks();
    ~BackgroundChecks();
    BackgroundChecks(const BackgroundChecks&) = delete;
    BackgroundChecks& operator=(const BackgroundChecks&) = delete;

    void add(std::function<QString()> check);
    // Waits for every check added; the first problem found, or the empty text.
    QString finish();

private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<QString()>> m_queue;
    bool m_closing = false;
    bool m_busy = false;
    QString m_problem;
    std::thread m_thread;
};

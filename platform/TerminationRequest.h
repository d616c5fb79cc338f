#pragma once

#include "base/UniqueFd.h"

#include <QObject>
#include <csignal>
#include <memory>

class QSocketNotifier;

// While it lives, a request to end the program (SIGTERM, as a session ending sends, or SIGINT) closes its
// windows the way their close boxes would, so that the program ends through its own event loop and
// destructors instead of being cut off. One at a time.
class TerminationRequest : public QObject
{
    Q_OBJECT
public:
    explicit TerminationRequest(QObject* parent = nullptr);
    ~TerminationRequest() override;
    TerminationRequest(const TerminationRequest&) = delete;
    TerminationRequest& operator=(const TerminationRequest&) = delete;

private:
    static void onSignal(int signal);
    void closeWindows();

    UniqueFd m_read;
    UniqueFd m_write;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldTerm
    {};
    struct sigaction m_oldInt
    {};
};

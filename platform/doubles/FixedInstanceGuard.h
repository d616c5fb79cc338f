#pragma once

#include "platform/InstanceGuard.h"

class FixedInstanceGuard : public IInstanceGuard
{
public:
    explicit FixedInstanceGuard(bool running) : m_running(running) {}
    bool anotherInstanceRunning() override
    {
        ++m_asked;
        return m_running;
    }
    int timesAsked() const { return m_asked; }

private:
    bool m_running;
    int m_asked = 0;
};

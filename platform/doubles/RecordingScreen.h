#pragma once

#include "platform/ScreenPointer.h"

#include <QList>

class RecordingScreenPointer : public IScreenPointer
{
public:
    void setBusy(bool busy) override { m_changes.append(busy); }
    const QList<bool>& changes() const { return m_changes; }
    bool busy() const { return !m_changes.isEmpty() && m_changes.last(); }

private:
    QList<bool> m_changes;
};

class CountingEventPump : public IEventPump
{
public:
    void processPending() override { ++m_count; }
    int count() const { return m_count; }

private:
    int m_count = 0;
};

#pragma once

#include "platform/ScreenPointer.h"

// The program-wide pointer as the application's override cursor. Busy is a state, not a count: setting
// it twice and back to normal once gives the normal pointer again, as assigning the screen's pointer
// twice did. Only the cursor this object put up is ever taken down.
class QtScreenPointer : public IScreenPointer
{
public:
    QtScreenPointer() = default;
    QtScreenPointer(const QtScreenPointer&) = delete;
    QtScreenPointer& operator=(const QtScreenPointer&) = delete;
    ~QtScreenPointer() override;

    void setBusy(bool busy) override;

private:
    bool m_busy = false;
};

class QtEventPump : public IEventPump
{
public:
    void processPending() override;
};

#pragma once

// The program-wide mouse pointer (hourglass while a long operation runs) and the processing of pending
// window messages.
class IScreenPointer
{
public:
    virtual ~IScreenPointer() = default;
    virtual void setBusy(bool busy) = 0;
};

class IEventPump
{
public:
    virtual ~IEventPump() = default;
    virtual void processPending() = 0;
};

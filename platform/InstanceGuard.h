#pragma once

// The previous-instance test: whether another copy of this program is running for this user.
class IInstanceGuard
{
public:
    virtual ~IInstanceGuard() = default;
    virtual bool anotherInstanceRunning() = 0;
};

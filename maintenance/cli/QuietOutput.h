#pragma once

#include "base/UniqueFd.h"

#include <functional>

// The process's standard output and standard error (descriptors 1 and 2) sent nowhere while the object
// lives, and put back when it ends. The import's reading library prints remarks of its own on damaged
// files there; the command's summary, its one line on failure and its progress line are the only things
// a user is meant to see. Only a command, which owns the process's output, may take it: a library never
// does this for its callers.
class QuietOutput
{
public:
    // Where a descriptor cannot be set aside (none left), the output is left as it is.
    QuietOutput();
    ~QuietOutput();
    QuietOutput(const QuietOutput&) = delete;
    QuietOutput& operator=(const QuietOutput&) = delete;

    // Runs write with the output put back meanwhile, for the command's own text.
    void speak(const std::function<void()>& write);
    // Puts the output back for good.
    void end();

private:
    void restore();
    void silence();

    UniqueFd m_savedOut;
    UniqueFd m_savedErr;
    UniqueFd m_nowhere;
};

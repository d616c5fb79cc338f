#include "tests/faults/FaultSeam.h"

#include "tests/faults/FaultState.h"

#include <climits>
#include <cstdlib>

namespace FaultSeam {

namespace {

constexpr const char* names[] = {"create",    "mkdir",  "write", "copy_file_range", "ftruncate", "fsync",
                                 "fdatasync", "syncfs", "close", "rename",          "link",      "unlink",
                                 "rmdir",     "chmod",  "chown", "utimes"};
static_assert(sizeof(names) / sizeof(names[0]) == CallKinds);

} // namespace

const char* name(Call call)
{
    return names[int(call)];
}

bool fromName(const std::string& text, Call& call)
{
    for (int i = 0; i < CallKinds; ++i) {
        if (text == names[i]) {
            call = Call(i);
            return true;
        }
    }
    return false;
}

std::string describe(const Step& step)
{
    std::string text =
        std::string(name(step.call)) + " #" + std::to_string(step.occurrence) + " " + step.path;
    if (!step.from.empty())
        text += " (from " + step.from + ")";
    if (step.error != 0)
        text += " -> errno " + std::to_string(step.error);
    return text;
}

bool parse(const std::string& line, Call& call, int& occurrence)
{
    const size_t blank = line.find(" #");
    if (blank == std::string::npos || !fromName(line.substr(0, blank), call))
        return false;
    occurrence = std::atoi(line.c_str() + blank + 2);
    return occurrence > 0;
}

Watch::Watch(const std::string& folder)
{
    char resolved[PATH_MAX];
    State& s = state();
    std::lock_guard<std::mutex> hold(s.mutex);
    s.folder = ::realpath(folder.c_str(), resolved) != nullptr ? std::string(resolved) : folder;
    s.steps.clear();
    s.counts.fill(0);
    s.planned = false;
    s.fired = false;
    s.active.store(true);
}

Watch::~Watch()
{
    State& s = state();
    std::lock_guard<std::mutex> hold(s.mutex);
    s.active.store(false);
    s.planned = false;
    s.recordFd = -1;
}

void Watch::at(Call call, int occurrence, Action action, int error)
{
    State& s = state();
    std::lock_guard<std::mutex> hold(s.mutex);
    s.planned = true;
    s.fired = false;
    s.plan = {call, s.counts[size_t(call)] + occurrence, action, error};
}

std::vector<Step> Watch::steps() const
{
    State& s = state();
    std::lock_guard<std::mutex> hold(s.mutex);
    return s.steps;
}

void Watch::writeStepsTo(int fd)
{
    State& s = state();
    std::lock_guard<std::mutex> hold(s.mutex);
    s.recordFd = fd;
}

bool Watch::fired() const
{
    State& s = state();
    std::lock_guard<std::mutex> hold(s.mutex);
    return s.fired;
}

} // namespace FaultSeam

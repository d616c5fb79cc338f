#pragma once

#include "tests/faults/FaultSeam.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

// What the seam's watch and the intercepted calls share. Internal to the seam.
namespace FaultSeam {

constexpr int CallKinds = 16;

struct Plan
{
    Call call = Call::Create;
    int count = 0; // the value of the call's counter at which it acts
    Action action = Action::Fail;
    int error = 0;
};

struct State
{
    std::atomic<bool> active{false};
    std::mutex mutex;
    std::string folder;
    std::vector<Step> steps;
    std::array<int, CallKinds> counts{};
    bool planned = false;
    bool fired = false;
    Plan plan;
    int recordFd = -1; // when set, each step is also written there as a line (the preloaded shim)
};

// Never destroyed, so that calls made while the program ends still find it.
State& state();

// A call about to be made: whether it is watched, and whether it must fail (error != 0) instead.
struct Verdict
{
    bool watched = false;
    size_t index = 0;
    int error = 0;
};
Verdict enter(Call call, const std::string& path, const std::string& from = {});
// What the call returned (result < 0: it failed with error).
void leave(const Verdict& verdict, long result, int error);

// The path a descriptor is open on; the path name is relative to (dirfd, or the working folder).
std::string pathOf(int fd);
std::string pathAt(int dirfd, const char* name);

} // namespace FaultSeam

#pragma once

#include <functional>

// Runs body in a forked child process and returns its exit status (128 + signal when it was killed), so
// that a case may change process-wide limits or identity without touching the test program.
namespace ChildProcess {
int run(const std::function<int()>& body);
}

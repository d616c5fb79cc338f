#pragma once

#include <functional>
#include <sys/types.h>

// Runs body in a forked child process and returns its exit status (128 + signal when it was killed), so
// that a case may change process-wide limits or identity without touching the test program.
namespace ChildProcess {
int run(const std::function<int()>& body);
// Starts body in a forked child and returns at once (-1 when no child could be made), so that several
// children can run side by side; wait gives the child's status as run does.
pid_t start(const std::function<int()>& body);
int wait(pid_t child);
} // namespace ChildProcess

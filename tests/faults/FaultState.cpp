#include "tests/faults/FaultState.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace FaultSeam {

namespace {

bool under(const std::string& path, const std::string& folder)
{
    return !path.empty() &&
           (path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                               path[folder.size()] == '/'));
}

// The same file is often named with a doubled separator ("tool//Temporal.mdb") or a "./" part: one
// spelling, so that a plan and a record name it alike.
std::string tidy(const std::string& path)
{
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '/' && !out.empty() && out.back() == '/')
            continue;
        if (path[i] == '.' && !out.empty() && out.back() == '/' && (i + 1 == path.size() || path[i + 1] == '/')) {
            ++i;
            continue;
        }
        out.push_back(path[i]);
    }
    if (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

void writeLine(int fd, const Step& step)
{
    const std::string line = describe(step) + "\n";
    (void)!::syscall(SYS_write, fd, line.data(), line.size());
}

} // namespace

State& state()
{
    static State* const s = new State;
    return *s;
}

Verdict enter(Call call, const std::string& rawPath, const std::string& rawFrom)
{
    const std::string path = tidy(rawPath);
    const std::string from = tidy(rawFrom);
    State& s = state();
    Verdict verdict;
    const int savedErrno = errno;
    std::unique_lock<std::mutex> hold(s.mutex);
    if (!under(path, s.folder) && !under(from, s.folder))
        return verdict;
    verdict.watched = true;
    const int count = ++s.counts[size_t(call)];
    verdict.index = s.steps.size();
    s.steps.push_back({call, count, path, from, 0});
    if (s.planned && !s.fired && s.plan.call == call && s.plan.count == count) {
        s.fired = true;
        if (s.plan.action == Action::Kill) {
            if (s.recordFd >= 0) {
                Step killed = s.steps.back();
                killed.error = -1;
                writeLine(s.recordFd, killed);
            }
            ::kill(::getpid(), SIGKILL);
        }
        verdict.error = s.plan.error;
    }
    errno = savedErrno;
    return verdict;
}

void leave(const Verdict& verdict, long result, int error)
{
    if (!verdict.watched)
        return;
    State& s = state();
    std::lock_guard<std::mutex> hold(s.mutex);
    if (verdict.index >= s.steps.size())
        return;
    Step& step = s.steps[verdict.index];
    step.error = result < 0 ? error : 0;
    if (s.recordFd >= 0)
        writeLine(s.recordFd, step);
}

std::string pathOf(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, size_t(n)) : std::string();
}

std::string pathAt(int dirfd, const char* name)
{
    if (name == nullptr)
        return {};
    if (name[0] == '/')
        return name;
    std::string base;
    if (dirfd == AT_FDCWD) {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) != nullptr)
            base = cwd;
    } else {
        base = pathOf(dirfd);
    }
    return base + "/" + name;
}

} // namespace FaultSeam

#include "tests/support/ChildProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace ChildProcess {

pid_t start(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int status = body();
        std::fflush(nullptr);
        ::_exit(status);
    }
    return pid;
}

int wait(pid_t child)
{
    if (child < 0)
        return 201;
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return 204;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

int run(const std::function<int()>& body)
{
    return wait(start(body));
}

} // namespace ChildProcess

#include "tests/support/ChildProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace ChildProcess {

int run(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return 201;
    if (pid == 0) {
        const int status = body();
        std::fflush(nullptr);
        ::_exit(status);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return 204;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

} // namespace ChildProcess

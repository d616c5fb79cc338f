// The seam as a preloaded library (faultshim.so), set up from the environment of the process it is loaded
// into:
//   COMPANYDESK_FAULT_FOLDER  the folder whose calls are watched (nothing is watched without it)
//   COMPANYDESK_FAULT_AT      "<call>:<occurrence>:<errno number>" fails that call,
//   "<call>:<occurrence>:kill"
//                             kills the process at it (call names as FaultSeam::name gives them)
//   COMPANYDESK_FAULT_RECORD  a file each watched call is appended to as a line (FaultSeam::describe)
#include "tests/faults/FaultSeam.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void applyPlan(FaultSeam::Watch& watch, const std::string& plan)
{
    const size_t first = plan.find(':');
    const size_t second = plan.find(':', first == std::string::npos ? first : first + 1);
    if (first == std::string::npos || second == std::string::npos)
        return;
    FaultSeam::Call call{};
    if (!FaultSeam::fromName(plan.substr(0, first), call))
        return;
    const int occurrence = std::atoi(plan.substr(first + 1, second - first - 1).c_str());
    const std::string what = plan.substr(second + 1);
    if (what == "kill")
        watch.at(call, occurrence, FaultSeam::Action::Kill);
    else
        watch.at(call, occurrence, FaultSeam::Action::Fail, std::atoi(what.c_str()));
}

__attribute__((constructor)) void startFromEnvironment()
{
    const char* folder = std::getenv("COMPANYDESK_FAULT_FOLDER");
    if (folder == nullptr || *folder == '\0')
        return;
    // Lives as long as the process: the watch ends when it does.
    static FaultSeam::Watch* const watch = new FaultSeam::Watch(folder);
    if (const char* record = std::getenv("COMPANYDESK_FAULT_RECORD"); record != nullptr && *record != '\0')
        watch->writeStepsTo(
            int(::syscall(SYS_openat, AT_FDCWD, record, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)));
    if (const char* plan = std::getenv("COMPANYDESK_FAULT_AT"); plan != nullptr)
        applyPlan(*watch, plan);
}

} // namespace

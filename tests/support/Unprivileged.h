#pragma once

#include <QString>
#include <functional>

// The tests run as root, for whom a read-only file or folder stops nothing. A permission case runs in a
// child process that first drops to the unprivileged user "nobody" (group "nogroup", no supplementary
// groups); its body returns the child's exit status. The files it must reach have to be made reachable
// by "others" (makeReachable) first.
namespace Unprivileged {
int run(const std::function<int()>& body);
// chmod o+rx on every folder from the path up to the root that lacks it (the temporary folders are 0700).
void makeReachable(const QString& path);
} // namespace Unprivileged

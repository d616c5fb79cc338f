#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>

// The tests run as root, for whom a read-only file or folder stops nothing. A permission case runs in a
// child process that first drops to the unprivileged user "nobody" (group "nogroup", no supplementary
// groups); its body returns the child's exit status. The files it must reach have to be made reachable
// by "others" (makeReachable) first.
namespace Unprivileged {
int run(const std::function<int()>& body);

// A user with one group as its primary and only group, looked up before a fork (the lookup is not safe
// in a child of a program that has threads).
struct Identity
{
    uid_t uid = 0;
    gid_t gid = 0;
};
// Empty when the system lacks the user or the group.
std::optional<Identity> lookUp(const char* user, const char* group);
// Drops the calling process (a child: there is no way back) to the identity. Zero when done, otherwise
// the child status run uses: 202 for a refused drop, 203 when the process is still root.
int dropTo(const Identity& identity);
// chmod o+rx on every folder from the path up to the root that lacks it (the temporary folders are 0700).
void makeReachable(const QString& path);
} // namespace Unprivileged

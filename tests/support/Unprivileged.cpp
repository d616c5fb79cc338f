#include "Unprivileged.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Unprivileged {

int run(const std::function<int()>& body)
{
    const passwd* user = ::getpwnam("nobody");
    const group* grp = ::getgrnam("nogroup");
    if (user == nullptr || grp == nullptr)
        return 200; // the system lacks the user: a visible failure, never a skip
    const uid_t uid = user->pw_uid;
    const gid_t gid = grp->gr_gid;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return 201;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(202);
        if (::geteuid() == 0)
            ::_exit(203);
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

void makeReachable(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    while (!current.isEmpty() && current != QStringLiteral("/")) {
        struct stat st
        {};
        const QByteArray local = QFile::encodeName(current);
        if (::stat(local.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            ::chmod(local.constData(), st.st_mode | S_IROTH | S_IXOTH);
        current = QFileInfo(current).path();
    }
}

} // namespace Unprivileged

#include "tests/support/Unprivileged.h"

#include "tests/support/ChildProcess.h"

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
    return ChildProcess::run([&] {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            return 202;
        if (::geteuid() == 0)
            return 203;
        return body();
    });
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

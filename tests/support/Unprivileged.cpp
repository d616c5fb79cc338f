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

std::optional<Identity> lookUp(const char* user, const char* group)
{
    const passwd* account = ::getpwnam(user);
    const struct group* grp = ::getgrnam(group);
    if (account == nullptr || grp == nullptr)
        return std::nullopt;
    return Identity{account->pw_uid, grp->gr_gid};
}

int dropTo(const Identity& identity)
{
    if (::setgroups(0, nullptr) != 0 || ::setresgid(identity.gid, identity.gid, identity.gid) != 0 ||
        ::setresuid(identity.uid, identity.uid, identity.uid) != 0)
        return 202;
    return ::geteuid() == 0 ? 203 : 0;
}

int run(const std::function<int()>& body)
{
    const std::optional<Identity> nobody = lookUp("nobody", "nogroup");
    if (!nobody)
        return 200; // the system lacks the user: a visible failure, never a skip
    return ChildProcess::run([&] {
        const int dropped = dropTo(*nobody);
        return dropped != 0 ? dropped : body();
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

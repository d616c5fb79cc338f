#include "platform/PosixProgramStarter.h"

#include "base/PathJoin.h"
#include "platform/ShellPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

bool isWindowsProgram(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == QByteArrayLiteral("MZ");
}

// What the started process sends back through the pipe when it could not become the program.
enum class Stage : int
{
    Fork,
    Folder,
    Exec
};
struct Failure
{
    Stage stage;
    int error;
};

// Runs in the child after fork: write(2) and _exit(2) only.
[[noreturn]] void failChild(int fd, Stage stage, int error)
{
    const Failure failure{stage, error};
    ssize_t written = 0;
    do {
        written = ::write(fd, &failure, sizeof failure);
    } while (written < 0 && errno == EINTR);
    ::_exit(127);
}

int launch(const QString& executable, const QStringList& arguments, const QString& folder)
{
    // Everything the child needs is built before the fork: after it, in a process with other threads,
    // only async-signal-safe calls may run until exec.
    const QByteArray path = QFile::encodeName(executable);
    const QByteArray workingFolder = QFile::encodeName(folder);
    std::vector<QByteArray> storage;
    storage.reserve(static_cast<size_t>(arguments.size()));
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    char** const envp = environ;

    // The pipe is closed by a successful exec (close-on-exec), so the parent reads either nothing or the
    // reason the program could not start.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return ShellCode::OtherFailure;

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return PosixProgramStarter::shellCodeForErrno(error, false);
    }
    if (child == 0) {
        // The middle process only forks again and leaves, so the program becomes a child of init and
        // never lingers as a zombie of the launcher, which does not wait for it.
        ::close(fds[0]);
        const pid_t grandchild = ::fork();
        if (grandchild < 0)
            failChild(fds[1], Stage::Fork, errno);
        if (grandchild > 0)
            ::_exit(0);
        ::setsid();
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        // Ignored signals stay ignored across exec; the program should start with the defaults.
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
            ::signal(signalNumber, SIG_DFL);
        if (::chdir(workingFolder.constData()) != 0)
            failChild(fds[1], Stage::Folder, errno);
#ifdef CLOSE_RANGE_CLOEXEC
        // Descriptors the launcher left inheritable (an open database file, with its lock) stay behind.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
        ::execve(path.constData(), argv.data(), envp);
        failChild(fds[1], Stage::Exec, errno);
    }

    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    Failure failure{};
    ssize_t got = 0;
    do {
        got = ::read(fds[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    ::close(fds[0]);
    if (got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return ShellCode::Success;
    if (got != static_cast<ssize_t>(sizeof failure))
        return ShellCode::OtherFailure;
    return PosixProgramStarter::shellCodeForErrno(failure.error, failure.stage == Stage::Folder);
}

} // namespace

int PosixProgramStarter::start(const QString& file, const QString& parameters, const QString& directory,
                               int /*showCommand*/)
{
    const QString given = directory.isEmpty() ? QDir::currentPath() : directory;
    const QString folder = ShellPath::resolve(QFileInfo(given).absoluteFilePath());
    if (!QFileInfo(folder).isDir())
        return ShellCode::PathNotFound;
    if (file.isEmpty())
        return ShellCode::FileNotFound;

    const QString program =
        ShellPath::resolve(QDir::isAbsolutePath(file) ? file : pathInFolder(folder, file));
    const QFileInfo programInfo(program);
    if (!programInfo.exists())
        return QFileInfo(programInfo.path()).isDir() ? ShellCode::FileNotFound : ShellCode::PathNotFound;

    QStringList arguments = splitWindowsCommandLine(parameters);
    arguments.prepend(program);
    QString executable = program;
    if (isWindowsProgram(program)) {
        executable = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (executable.isEmpty())
            return ShellCode::NoAssociation;
        arguments.prepend(executable);
    }
    return launch(executable, arguments, folder);
}

int PosixProgramStarter::shellCodeForErrno(int error, bool changingFolder)
{
    switch (error) {
    case ENOENT:
        return changingFolder ? ShellCode::PathNotFound : ShellCode::FileNotFound;
    case ENOTDIR:
        return ShellCode::PathNotFound;
    case EACCES:
    case EPERM:
        return ShellCode::AccessDenied;
    case ENOMEM:
        return ShellCode::OutOfMemory;
    case ENOEXEC:
        // Also what exec gives for a file that is neither an ELF program nor starts with "#!".
        return changingFolder ? ShellCode::OtherFailure : ShellCode::BadFormat;
    default:
        return ShellCode::OtherFailure;
    }
}

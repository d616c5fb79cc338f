#include "tests/compaction/CrashHarness.h"

#include "tests/compaction/CompactionTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QVector>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace CompactionTest {

namespace {

// A compaction in a child process of its own, with the services' doubles; it ends with status 0 when it
// replaced the file.
pid_t startCompaction(const QString& books, const QString& password, const QString& toolFolder)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ScriptedMessageBox messages;
    ScriptedFileOpenDialog dialog;
    RecordingScreenPointer pointer;
    CountingEventPump events;
    ComprimirAccess2000::Module module{messages, dialog, pointer, events, toolFolder, {}, false};
    const bool replaced = ComprimirAccess2000::CompactDatabaseFile(module, books, password, nullptr);
    ::_exit(replaced ? 0 : 1);
}

bool replacedAndEnded(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ino_t inodeOf(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

CrashReport killCompactions(const QString& books, const QString& password, const QStringList& toolFolders,
                            int runs)
{
    CrashReport report;
    const QByteArray digest = booksDigest(books, password);
    if (digest.isEmpty()) {
        report.loss = QStringLiteral("the books do not open before the first run");
        return report;
    }

    // The kills fall anywhere within a typical whole compaction: the median of a few left to finish.
    QVector<qint64> durations;
    for (int round = 0; round < 3; ++round) {
        for (const QString& tool : toolFolders) {
            QElapsedTimer timer;
            timer.start();
            if (!replacedAndEnded(startCompaction(books, password, tool))) {
                report.loss = QStringLiteral("a compaction left to finish did not replace the file");
                return report;
            }
            durations.append(timer.nsecsElapsed() / 1000);
        }
    }
    std::sort(durations.begin(), durations.end());
    const qint64 typicalMicroseconds = std::max<qint64>(1, durations[durations.size() / 2]);

    for (int run = 0; run < runs; ++run) {
        const ino_t before = inodeOf(books);
        const qint64 delay = QRandomGenerator::global()->bounded(typicalMicroseconds);
        const pid_t pid = startCompaction(books, password, toolFolders[run % toolFolders.size()]);
        ::usleep(static_cast<useconds_t>(delay));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ++report.runs;
        if (!WIFSIGNALED(status))
            ++report.finished;
        else if (inodeOf(books) == before)
            ++report.killedBeforeReplacing;
        else
            ++report.killedAfterReplacing;
        if (booksDigest(books, password) != digest) {
            report.loss = QStringLiteral("after run %1, killed after %2 us, the books are damaged or gone")
                              .arg(run)
                              .arg(delay);
            return report;
        }
    }

    for (const QString& tool : toolFolders) {
        if (!replacedAndEnded(startCompaction(books, password, tool)) ||
            booksDigest(books, password) != digest) {
            report.loss = QStringLiteral("the compaction after the killed ones failed");
            return report;
        }
    }
    return report;
}

} // namespace CompactionTest

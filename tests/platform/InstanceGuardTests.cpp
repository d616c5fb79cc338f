#include "platform/LockFileInstanceGuard.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

namespace {

const QString ChildVariable = QStringLiteral("COMPANYDESK_LOCK_CHILD_DIR");

qint64 lockHolder(const QString& path)
{
    QLockFile reader(path);
    qint64 pid = 0;
    QString host;
    QString app;
    return reader.getLockInfo(&pid, &host, &app) ? pid : -1;
}

TEST(LockFileInstanceGuard, LivesInTheUsersRuntimeFolder)
{
    LockFileInstanceGuard guard(QStringLiteral("companydesk"));
    EXPECT_EQ(guard.lockFilePath(),
              qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/companydesk.lock"));
    EXPECT_FALSE(guard.anotherInstanceRunning());
    EXPECT_TRUE(QFile::exists(guard.lockFilePath()));
    EXPECT_EQ(lockHolder(guard.lockFilePath()), QCoreApplication::applicationPid());
}

TEST(LockFileInstanceGuard, IsHeldForTheGuardsLifetime)
{
    QTemporaryDir folder;
    {
        LockFileInstanceGuard first(QStringLiteral("companydesk"), folder.path());
        EXPECT_FALSE(first.anotherInstanceRunning());
        LockFileInstanceGuard second(QStringLiteral("companydesk"), folder.path());
        EXPECT_TRUE(second.anotherInstanceRunning());
        EXPECT_TRUE(second.anotherInstanceRunning()); // asked again: the same answer
        LockFileInstanceGuard otherProduct(QStringLiteral("vaultkeep"), folder.path());
        EXPECT_FALSE(otherProduct.anotherInstanceRunning());
    }
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("companydesk.lock"))));
    LockFileInstanceGuard third(QStringLiteral("companydesk"), folder.path());
    EXPECT_FALSE(third.anotherInstanceRunning());
}

// The child half of the next test: takes the lock in the folder it is given and keeps it until its
// input closes or it is killed. Without the variable it is skipped.
TEST(InstanceGuardChild, HoldsTheLock)
{
    const QString folder = qEnvironmentVariable(ChildVariable.toLocal8Bit().constData());
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of the LockFileInstanceGuard test after it";
    LockFileInstanceGuard guard(QStringLiteral("companydesk"), folder);
    std::printf(guard.anotherInstanceRunning() ? "refused\n" : "held\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
}

TEST(LockFileInstanceGuard, SeesAnotherProcessAndTakesOverWhenThatProcessIsKilled)
{
    QTemporaryDir folder;
    QProcess child;
    PlatformTest::startSelf(child, QStringLiteral("InstanceGuardChild.*"), ChildVariable, folder.path());
    ASSERT_TRUE(child.waitForStarted());
    // The child's first lines are the test framework's own.
    QByteArray answer;
    ASSERT_TRUE(PlatformTest::waitUntil(
        [&] {
            while (child.canReadLine() && answer.isEmpty()) {
                const QByteArray line = child.readLine().trimmed();
                if (line == "held" || line == "refused")
                    answer = line;
            }
            return !answer.isEmpty() || child.state() != QProcess::Running;
        },
        60000));
    ASSERT_EQ(answer, QByteArray("held"));
    const QString path = folder.filePath(QStringLiteral("companydesk.lock"));
    EXPECT_EQ(lockHolder(path), child.processId());
    {
        LockFileInstanceGuard whileRunning(QStringLiteral("companydesk"), folder.path());
        EXPECT_TRUE(whileRunning.anotherInstanceRunning());
    }

    child.kill();
    ASSERT_TRUE(child.waitForFinished());
    ASSERT_TRUE(QFile::exists(path)); // killed: nothing removed its lock
    LockFileInstanceGuard afterKill(QStringLiteral("companydesk"), folder.path());
    EXPECT_FALSE(afterKill.anotherInstanceRunning());
    EXPECT_EQ(lockHolder(path), QCoreApplication::applicationPid());
}

TEST(LockFileInstanceGuard, TakesOverALockFileWhoseProcessIsGone)
{
    // The pid of a process that has finished: known not to run any more.
    QProcess finished;
    finished.start(QStringLiteral("/bin/true"));
    ASSERT_TRUE(finished.waitForStarted());
    const qint64 deadPid = finished.processId();
    ASSERT_TRUE(finished.waitForFinished());
    ASSERT_GT(deadPid, 0);
    ASSERT_NE(::kill(static_cast<pid_t>(deadPid), 0), 0);

    struct Case
    {
        const char* appName;
    };
    // The same program name (only the pid tells) and another one.
    const Case cases[] = {{"platform_tests"}, {"somethingelse"}};
    for (const Case& c : cases) {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("companydesk.lock"));
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray::number(deadPid) + '\n' + c.appName + '\n' +
                    QSysInfo::machineHostName().toUtf8() + '\n');
        stale.close();
        LockFileInstanceGuard guard(QStringLiteral("companydesk"), folder.path());
        EXPECT_FALSE(guard.anotherInstanceRunning()) << c.appName;
        EXPECT_EQ(lockHolder(path), QCoreApplication::applicationPid()) << c.appName;
    }
}

TEST(LockFileInstanceGuard, AFolderThatCannotHoldTheLockIsNoOtherInstance)
{
    LockFileInstanceGuard guard(QStringLiteral("companydesk"), QStringLiteral("/nonexistent/runtime/folder"));
    EXPECT_FALSE(guard.anotherInstanceRunning());
}

} // namespace

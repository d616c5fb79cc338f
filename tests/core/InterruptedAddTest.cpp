#include "base/AppError.h"
#include "base/UniqueFd.h"
#include "launcher/core/NewCompanyFolder.h"
#include "launcher/core/PendingAdds.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiskSnapshot.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A CompanyData folder with the books of companies 1 and 2, as an office has it.
class InterruptedAddTest : public ::testing::Test
{
public: // the arrangements of the case tables reach these too
    void useFolder(const QString& name)
    {
        m_data = dir.filePath(name + QStringLiteral("/CompanyData"));
        ASSERT_TRUE(QDir().mkpath(m_data));
        for (int id : {1, 2}) {
            ASSERT_TRUE(QDir().mkpath(at(QString::number(id))));
            Fixtures::writeAll(at(QStringLiteral("%1/%1.mdb").arg(id)),
                               "books of company " + QByteArray::number(id));
        }
    }
    const QString& data() const { return m_data; }
    QString at(const QString& relative) const { return m_data + QLatin1Char('/') + relative; }
    QString marker(int id) const
    {
        return PendingAdds::folderPath(m_data) + QLatin1Char('/') + QString::number(id);
    }
    QString pendingFile(const QString& name) const
    {
        return PendingAdds::folderPath(m_data) + QLatin1Char('/') + name;
    }
    QString pendingName(const QString& name) const
    {
        return PendingAdds::FolderName + QLatin1Char('/') + name;
    }
    DiskSnapshot::Snapshot snapshot() const { return DiskSnapshot::take(m_data); }

    // What an add killed in the middle of its copy leaves: its marker, saying the folder was made, and
    // in the folder the copy under its partial name and a journal.
    void leaveKilledAdd(int id)
    {
        QDir().mkpath(PendingAdds::folderPath(m_data));
        Fixtures::writeAll(marker(id), QByteArray::number(id));
        QDir().mkpath(at(QString::number(id)));
        Fixtures::writeAll(at(QStringLiteral("%1/.%1.mdb.Xy12Ab").arg(id)), QByteArray(4096, 'p'));
        Fixtures::writeAll(at(QStringLiteral("%1/%1.mdb-journal").arg(id)), "journal");
    }

    QStringList recover(const QSet<int>& recorded = {})
    {
        return NewCompanyFolder::recover(m_data, [&](std::int16_t id) {
            ++asked;
            return recorded.contains(id);
        });
    }

    QTemporaryDir dir;
    int asked = 0;

protected:
    void SetUp() override { useFolder(QStringLiteral("office")); }

private:
    QString m_data;
};

// A launcher killed while it adds company 3: its child reserves the identifier, copies part of the
// template, and is killed with SIGKILL.
TEST_F(InterruptedAddTest, AKilledAddIsFoundThroughItsMarkerAndCleanedUpAfter)
{
    struct Case
    {
        const char* what;
        bool rowAdded;
    } cases[] = {{"killed before its row was added", false}, {"killed after its row was added", true}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useFolder(QStringLiteral("case%1").arg(++n));
        const auto before = snapshot();
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ChildProcess::start([&] {
            ::close(ready[0]);
            NewCompanyFolder folder = NewCompanyFolder::reserve(data(), 3);
            Fixtures::writeAll(folder.path() + QStringLiteral("/.3.mdb.Qw34Er"), QByteArray(8192, 'c'));
            Fixtures::writeAll(folder.path() + QStringLiteral("/3.mdb"), QByteArray(8192, 'c'));
            (void)!::write(ready[1], "r", 1);
            for (;;)
                ::pause();
            return 0;
        });
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::kill(child, SIGKILL);
        EXPECT_EQ(ChildProcess::wait(child), 128 + SIGKILL);
        ASSERT_EQ(Fixtures::readAll(marker(3)), QByteArray("3")) << "the marker names the folder it made";

        EXPECT_EQ(recover(c.rowAdded ? QSet<int>{3} : QSet<int>{}), QStringList());
        EXPECT_EQ(asked, n) << "asked about company 3 alone";
        auto after = snapshot();
        if (c.rowAdded) {
            EXPECT_EQ(after.take(QStringLiteral("3")), QByteArray("<folder>"));
            EXPECT_EQ(after.take(QStringLiteral("3/3.mdb")), QByteArray(8192, 'c'));
            EXPECT_EQ(after.take(QStringLiteral("3/.3.mdb.Qw34Er")), QByteArray(8192, 'c'));
        }
        EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
    }
}

// Another add, in this program or another, holds its marker: nothing of it is touched, and when it is
// kept the company's folder stays and the folder of adds in progress goes.
TEST_F(InterruptedAddTest, ARunningAddIsNeverTouched)
{
    const auto before = snapshot();
    std::optional<NewCompanyFolder> running(NewCompanyFolder::reserve(data(), 1));
    EXPECT_EQ(running->id(), 3) << "1 and 2 have their folders";
    Fixtures::writeAll(running->path() + QStringLiteral("/.3.mdb.Zx98Cv"), "copy under way");
    const auto during = snapshot();

    // The same program, and a second one on the same folder.
    EXPECT_EQ(recover(), QStringList());
    EXPECT_EQ(ChildProcess::run([this] { return recover().isEmpty() ? 0 : 1; }), 0);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(snapshot(), during);

    // A second add beside it takes the next identifier.
    {
        NewCompanyFolder second = NewCompanyFolder::reserve(data(), 3);
        EXPECT_EQ(second.id(), 4);
    }
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral("4"))));
    EXPECT_FALSE(QFileInfo::exists(marker(4)));

    QFile::rename(running->path() + QStringLiteral("/.3.mdb.Zx98Cv"),
                  running->path() + QStringLiteral("/3.mdb"));
    running->keep();
    running.reset();
    auto after = snapshot();
    EXPECT_EQ(after.take(QStringLiteral("3")), QByteArray("<folder>"));
    EXPECT_EQ(after.take(QStringLiteral("3/3.mdb")), QByteArray("copy under way"));
    EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
}

// A start does not look into the companies' folders: whatever lies there without a marker (even files
// named like an add's partial copy) is not the start's business.
TEST_F(InterruptedAddTest, AStartLooksOnlyAtTheFolderOfAddsInProgress)
{
    for (int id = 3; id <= 40; ++id) {
        QDir().mkpath(at(QString::number(id)));
        Fixtures::writeAll(at(QStringLiteral("%1/.%1.mdb.Ab12Cd").arg(id)), "someone's file");
        Fixtures::writeAll(at(QStringLiteral("%1/%2").arg(id).arg(PendingAdds::FolderName)), "");
    }
    const auto before = snapshot();
    EXPECT_EQ(recover(), QStringList());
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(snapshot(), before);
}

// What an office may find where the folder of adds in progress or a marker should be: each is described,
// and nothing but markers is removed.
TEST_F(InterruptedAddTest, BadMarkersAndFoldersAreReportedAndNothingIsLost)
{
    struct Case
    {
        const char* what;
        std::function<void(InterruptedAddTest&)> arrange;
        const char* problem; // empty when none is expected
        QStringList removed; // what the recovery removes, relative to CompanyData
    };
    const QString outside = dir.filePath(QStringLiteral("elsewhere"));
    const Case cases[] = {
        {"no folder of adds in progress", [](InterruptedAddTest&) {}, "", {}},
        {"a file where the folder of adds in progress goes",
         [](InterruptedAddTest& t) { Fixtures::writeAll(PendingAdds::folderPath(t.data()), "a file"); },
         "is not a folder; it is left as it is",
         {}},
        {"a link where the folder of adds in progress goes",
         [outside](InterruptedAddTest& t) {
             QDir().mkpath(outside);
             Fixtures::writeAll(outside + QStringLiteral("/2"), "2");
             QFile::link(outside, PendingAdds::folderPath(t.data()));
         },
         "is a symbolic link; it is left as it is",
         {}},
        {"a file that is no marker",
         [](InterruptedAddTest& t) {
             QDir().mkpath(PendingAdds::folderPath(t.data()));
             Fixtures::writeAll(t.pendingFile(QStringLiteral("notes.txt")), "notes");
         },
         "notes.txt is no marker of an add; it is left as it is",
         {}},
        {"a folder named like a marker",
         [](InterruptedAddTest& t) { QDir().mkpath(t.pendingFile(QStringLiteral("2"))); },
         "is not a regular file, so no marker of an add",
         {}},
        {"a marker that names no company folder",
         [](InterruptedAddTest& t) {
             QDir().mkpath(PendingAdds::folderPath(t.data()));
             Fixtures::writeAll(t.marker(2), "../../elsewhere");
         },
         "names no company folder of its add; no company folder is touched",
         {pendingName(QStringLiteral("2")), PendingAdds::FolderName}},
        {"a marker whose folder is gone already",
         [](InterruptedAddTest& t) {
             t.leaveKilledAdd(5);
             QDir(t.at(QStringLiteral("5"))).removeRecursively();
         },
         "",
         {pendingName(QStringLiteral("5")), PendingAdds::FolderName}},
        {"a marker of an add stopped before it made its folder, where kept books are",
         [](InterruptedAddTest& t) {
             QDir().mkpath(PendingAdds::folderPath(t.data()));
             Fixtures::writeAll(t.marker(2), "");
         },
         "",
         {pendingName(QStringLiteral("2")), PendingAdds::FolderName}},
        {"a company folder that became a link",
         [outside](InterruptedAddTest& t) {
             t.leaveKilledAdd(5);
             QDir(t.at(QStringLiteral("5"))).removeRecursively();
             QDir().mkpath(outside);
             Fixtures::writeAll(outside + QStringLiteral("/5.mdb"), "books elsewhere");
             Fixtures::writeAll(outside + QStringLiteral("/.5.mdb.Ab12Cd"), "a file elsewhere");
             QFile::link(outside, t.at(QStringLiteral("5")));
         },
         "is a symbolic link now; it and what it leads to are left as they are",
         {pendingName(QStringLiteral("5")), PendingAdds::FolderName}},
        {"a company folder that became a file",
         [](InterruptedAddTest& t) {
             t.leaveKilledAdd(5);
             QDir(t.at(QStringLiteral("5"))).removeRecursively();
             Fixtures::writeAll(t.at(QStringLiteral("5")), "a file");
         },
         "is not a folder now; it is left as it is",
         {pendingName(QStringLiteral("5")), PendingAdds::FolderName}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useFolder(QStringLiteral("case%1").arg(++n));
        c.arrange(*this);
        const auto before = snapshot();
        const auto outsideBefore = DiskSnapshot::take(outside);

        const QStringList problems = recover();

        if (*c.problem == '\0') {
            EXPECT_EQ(problems, QStringList());
        } else {
            ASSERT_EQ(problems.size(), 1) << problems.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(problems[0].contains(QLatin1String(c.problem))) << problems[0].toStdString();
        }
        auto expected = before;
        for (const QString& gone : c.removed)
            EXPECT_EQ(expected.remove(gone), 1) << gone.toStdString();
        const auto after = snapshot();
        EXPECT_EQ(after, expected) << DiskSnapshot::differences(expected, after).toStdString();
        EXPECT_EQ(DiskSnapshot::take(outside), outsideBefore);
        EXPECT_EQ(asked, c.removed.isEmpty() ? 0 : 1);
        asked = 0;
        QDir(outside).removeRecursively();
    }
}

// A new marker is made under a scratch name and locked before it takes its identifier's name. One left by
// a claim killed in between is removed without a word; one still being made is left to its add.
TEST_F(InterruptedAddTest, AScratchMarkerIsRemovedOnlyWhenItsClaimIsGone)
{
    ASSERT_TRUE(QDir().mkpath(PendingAdds::folderPath(data())));
    const QString left = pendingFile(PendingAdds::ScratchPrefix + QStringLiteral("killed"));
    const QString held = pendingFile(PendingAdds::ScratchPrefix + QStringLiteral("running"));
    Fixtures::writeAll(left, "");
    Fixtures::writeAll(held, "");
    UniqueFd holder(::open(QFile::encodeName(held).constData(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(holder);
    struct flock whole
    {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(holder.get(), F_OFD_SETLK, &whole), 0);
    auto expected = snapshot();
    expected.remove(pendingName(PendingAdds::ScratchPrefix + QStringLiteral("killed")));

    EXPECT_EQ(recover(), QStringList());

    EXPECT_EQ(snapshot(), expected);
    EXPECT_EQ(asked, 0);
    holder.reset();
    EXPECT_EQ(recover(), QStringList());
    EXPECT_FALSE(QFileInfo::exists(PendingAdds::folderPath(data())));
}

// An add cannot start where its marker cannot be made: it says why, and no company folder is made.
TEST_F(InterruptedAddTest, AnAddWithoutAPlaceForItsMarkerFailsClearlyAndMakesNothing)
{
    struct Case
    {
        const char* what;
        std::function<void(InterruptedAddTest&)> arrange;
        const char* problem;
    };
    const QString outside = dir.filePath(QStringLiteral("elsewhere"));
    const Case cases[] = {
        {"a file where the folder of adds in progress goes",
         [](InterruptedAddTest& t) { Fixtures::writeAll(PendingAdds::folderPath(t.data()), "a file"); },
         "is not a folder"},
        {"a link where the folder of adds in progress goes",
         [outside](InterruptedAddTest& t) {
             QDir().mkpath(outside);
             QFile::link(outside, PendingAdds::folderPath(t.data()));
         },
         "is a symbolic link"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useFolder(QStringLiteral("case%1").arg(++n));
        c.arrange(*this);
        const auto before = snapshot();
        try {
            NewCompanyFolder::reserve(data(), 3);
            ADD_FAILURE() << "reserved";
        } catch (const AppError& error) {
            EXPECT_TRUE(error.description().contains(QLatin1String(c.problem))) << error.what();
            EXPECT_TRUE(error.description().contains(PendingAdds::folderPath(data()))) << error.what();
        }
        EXPECT_EQ(snapshot(), before);
        EXPECT_TRUE(DiskSnapshot::take(outside).isEmpty());
        QDir(outside).removeRecursively();
    }
}

// Run as an unprivileged user of a shared folder that gives it too few rights.
TEST_F(InterruptedAddTest, WithoutTheRightToWriteTheAddFailsAndTheStartLosesNothing)
{
    Unprivileged::makeReachable(data());
    const QByteArray companyData = QFile::encodeName(data());
    const QByteArray pending = QFile::encodeName(PendingAdds::folderPath(data()));

    // CompanyData is not the user's to write: no folder of adds in progress can be made.
    ASSERT_EQ(::chmod(companyData.constData(), 0755), 0);
    auto before = snapshot();
    EXPECT_EQ(Unprivileged::run([this] {
                  try {
                      NewCompanyFolder::reserve(data(), 3);
                      return 1;
                  } catch (const AppError& error) {
                      return error.description().contains(
                                 QStringLiteral("could not be made: Permission denied"))
                                 ? 0
                                 : 2;
                  }
              }),
              0);
    EXPECT_EQ(snapshot(), before);

    // The folder of adds in progress is not the user's to write: a killed add's marker stays (and says
    // so), what that add made in its own folder goes, and no new add can start.
    ASSERT_EQ(::chmod(companyData.constData(), 0777), 0);
    leaveKilledAdd(5);
    for (const QString& path : {data() + QStringLiteral("/5"), data() + QStringLiteral("/5/.5.mdb.Xy12Ab"),
                                data() + QStringLiteral("/5/5.mdb-journal"), marker(5)})
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), QFileInfo(path).isDir() ? 0777 : 0666), 0);
    ASSERT_EQ(::chmod(pending.constData(), 0755), 0);
    before = snapshot();
    EXPECT_EQ(Unprivileged::run([this] {
                  try {
                      NewCompanyFolder::reserve(data(), 3);
                      return 1;
                  } catch (const AppError& error) {
                      if (!error.description().contains(QStringLiteral("marker could not be made")))
                          return 2;
                  }
                  const QStringList problems = recover();
                  return problems.size() == 1 && problems[0].contains(QStringLiteral("could not be removed"))
                             ? 0
                             : 3;
              }),
              0);
    auto expected = before;
    for (const char* gone : {"5", "5/.5.mdb.Xy12Ab", "5/5.mdb-journal"})
        expected.remove(QString::fromLatin1(gone));
    EXPECT_EQ(snapshot(), expected) << DiskSnapshot::differences(expected, snapshot()).toStdString();

    // Someone who may write it finishes the cleaning up.
    EXPECT_EQ(recover(), QStringList());
    expected.remove(pendingName(QStringLiteral("5")));
    expected.remove(PendingAdds::FolderName);
    EXPECT_EQ(snapshot(), expected) << DiskSnapshot::differences(expected, snapshot()).toStdString();
}

// After a crash storm: thousands of killed adds, some after their row was added. One start cleans up
// after every one of them, whatever the limit of open files.
TEST_F(InterruptedAddTest, ThousandsOfStaleMarkersAreAllCleanedUp)
{
    constexpr int Killed = 2000;
    const auto before = snapshot();
    QSet<int> recorded;
    for (int id = 3; id < 3 + Killed; ++id) {
        leaveKilledAdd(id);
        if (id % 7 == 0) {
            recorded.insert(id);
            QFile::rename(at(QStringLiteral("%1/.%1.mdb.Xy12Ab").arg(id)),
                          at(QStringLiteral("%1/%1.mdb").arg(id)));
        }
    }
    EXPECT_EQ(ChildProcess::run([&] {
                  const struct rlimit few = {256, 256};
                  ::setrlimit(RLIMIT_NOFILE, &few);
                  return recover(recorded).isEmpty() && asked == Killed ? 0 : 1;
              }),
              0);
    auto after = snapshot();
    for (int id : recorded) {
        EXPECT_EQ(after.take(QString::number(id)), QByteArray("<folder>"));
        EXPECT_EQ(after.take(QStringLiteral("%1/%1.mdb").arg(id)), QByteArray(4096, 'p'));
        EXPECT_EQ(after.take(QStringLiteral("%1/%1.mdb-journal").arg(id)), QByteArray("journal"));
    }
    EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).left(2000).toStdString();
}

} // namespace

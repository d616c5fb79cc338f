#include "maintenance/compaction/ComprimirAccess2000.h"
#include "tests/compaction/CompactionTestSupport.h"
#include "tests/faults/FaultTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using FaultSeam::Call;
using FaultSeam::Step;

// Fragmented books compacted in place, the compacted copy written in the tool's own folder first.
FaultTable::DurableWrite compaction()
{
    auto digest = std::make_shared<QByteArray>();
    FaultTable::DurableWrite write;
    write.arrange = [digest](const QString& folder) {
        QDir().mkpath(folder + QStringLiteral("/books"));
        QDir().mkpath(folder + QStringLiteral("/tool"));
        CompactionTest::makeBooks(folder + QStringLiteral("/books/7.mdb"), QString(), 600);
        *digest = CompactionTest::booksDigest(folder + QStringLiteral("/books/7.mdb"), QString());
        ASSERT_FALSE(digest->isEmpty());
    };
    write.act = [](const QString& folder) {
        CompactionTest::Page page(folder + QStringLiteral("/tool/"));
        const bool replaced = ComprimirAccess2000::CompactDatabaseFile(
            page.module, folder + QStringLiteral("/books/7.mdb"), QString(), nullptr);
        EXPECT_EQ(page.module.LastCompactOK, replaced);
        if (!replaced) {
            EXPECT_EQ(page.messages.calls().size(), 1) << "the user is told why";
            if (!page.messages.calls().isEmpty()) {
                EXPECT_FALSE(page.messages.calls().first().text.isEmpty());
            }
        }
        return replaced;
    };
    write.expectDone = [digest](const QString& folder) {
        EXPECT_EQ(CompactionTest::booksDigest(folder + QStringLiteral("/books/7.mdb"), QString()), *digest);
        EXPECT_EQ(QDir(folder + QStringLiteral("/books")).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("7.mdb")});
        EXPECT_EQ(QDir(folder + QStringLiteral("/tool"))
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                  QStringList());
    };
    write.mayContinue = [](const Step& step, int) {
        // Once the copy is in place, a folder that could not be synced (the books' folder, or the tool's
        // folder the copy left) is said in a warning, not a failure.
        const bool folderSync =
            step.call == Call::Fsync && (step.path.ends_with("/books") || step.path.ends_with("/tool"));
        // The copy and its journal are closed by the engine, which cannot report a failed close; what
        // matters is caught later: the copy is opened again and checked, and synced through a descriptor
        // of its own after its last close, which reports any write that did not reach the disk.
        const bool copyClosed =
            step.call == Call::Close && step.path.find("/tool/Temporal.mdb") != std::string::npos;
        return folderSync || copyClosed || FaultTable::engineMayContinue(step);
    };
    return write;
}

TEST(CompactionFaults, TheBooksAreWholeOldOrWholeCompactedWhateverStepFails)
{
    FaultTable::failEachStep(compaction(), FaultTable::usualErrors());
}

TEST(CompactionFaults, TheCopyIsSyncedAfterItsLastCloseBeforeItTakesTheBooksPlaceAndTheFolderAfter)
{
    const std::vector<Step> steps = FaultTable::cleanRun(compaction());
    const int rename = FaultTable::find(
        steps, [](const Step& s) { return s.call == Call::Rename && s.path.ends_with("/books/7.mdb"); });
    ASSERT_GE(rename, 0) << FaultTable::listing(steps);
    const std::string copy = steps[size_t(rename)].from;
    const int lastWrite = [&] {
        int last = -1;
        for (int i = 0; i < rename; ++i) {
            if (steps[size_t(i)].call == Call::Write && steps[size_t(i)].path == copy)
                last = i;
        }
        return last;
    }();
    ASSERT_GE(lastWrite, 0) << FaultTable::listing(steps);
    // The last close of the copy before it moves: from there on only the descriptor that puts it in place
    // has it open, and its sync is the one that reports a write the closes could not.
    int lastClose = lastWrite;
    for (int i = lastWrite; i < rename; ++i) {
        if (steps[size_t(i)].call == Call::Close && steps[size_t(i)].path == copy)
            lastClose = i;
    }
    const int synced = FaultTable::find(
        steps,
        [&](const Step& s) { return (s.call == Call::Fsync || s.call == Call::Fdatasync) && s.path == copy; },
        lastClose);
    EXPECT_GE(synced, 0) << "no sync after the last write and close\n" << FaultTable::listing(steps);
    EXPECT_LT(synced, rename) << FaultTable::listing(steps);
    EXPECT_GT(
        FaultTable::find(
            steps, [](const Step& s) { return s.call == Call::Fsync && s.path.ends_with("/books"); }, rename),
        rename)
        << "no sync of the folder after the rename\n"
        << FaultTable::listing(steps);
}

// A compaction killed at each of its calls in turn: the books' path holds the whole books after every
// kill, and the next compaction clears what the killed ones left.
TEST(CompactionFaults, KilledAtEachStepTheBooksAreWholeAndTheNextCompactionClearsUp)
{
    const FaultTable::DurableWrite write = compaction();
    const std::vector<Step> steps = FaultTable::cleanRun(write);
    ASSERT_FALSE(steps.empty());
    for (const Step& step : steps) {
        SCOPED_TRACE(FaultSeam::describe(step));
        QTemporaryDir dir;
        write.arrange(dir.path());
        const QString books = dir.path() + QStringLiteral("/books/7.mdb");
        const QByteArray digest = CompactionTest::booksDigest(books, QString());
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            FaultSeam::Watch watch(dir.path().toStdString());
            watch.at(step.call, step.occurrence, FaultSeam::Action::Kill);
            CompactionTest::Page page(dir.path() + QStringLiteral("/tool/"));
            ComprimirAccess2000::CompactDatabaseFile(page.module, books, QString(), nullptr);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the run never came to the step";
        ASSERT_EQ(CompactionTest::booksDigest(books, QString()), digest) << "the books are damaged or gone";
        ASSERT_TRUE(write.act(dir.path())) << "the compaction after the kill";
        write.expectDone(dir.path());
    }
}

} // namespace

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
        EXPECT_TRUE(QDir(folder + QStringLiteral("/tool")).isEmpty(QDir::AllEntries | QDir::Hidden));
    };
    // Once the copy is in place, a folder that could not be synced is said in a warning, not a failure.
    write.mayContinue = [](const Step& step, int) {
        return (step.call == Call::Fsync && step.path.ends_with("/books")) ||
               FaultTable::engineMayContinue(step);
    };
    return write;
}

TEST(CompactionFaults, TheBooksAreWholeOldOrWholeCompactedWhateverStepFails)
{
    FaultTable::failEachStep(compaction(), FaultTable::usualErrors());
}

TEST(CompactionFaults, TheCopyIsSyncedBeforeItTakesTheBooksPlaceAndTheFolderAfter)
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
    const int synced = FaultTable::find(
        steps,
        [&](const Step& s) { return (s.call == Call::Fsync || s.call == Call::Fdatasync) && s.path == copy; },
        lastWrite);
    EXPECT_GE(synced, 0) << "no sync after the last write\n" << FaultTable::listing(steps);
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

#include "base/PathJoin.h"
#include "tests/compaction/CompactionTestSupport.h"
#include "tests/compaction/CrashHarness.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

using namespace CompactionTest;

namespace {

// Compactions killed at random moments, with Temporal.mdb on the database's own filesystem and on
// another one. The books here are small and unprotected, so that each run costs no key derivation and 210 of
// them fit in a test run; bench_compaction_crash runs the same series on protected books in a release build.
TEST(CompactionCrash, KilledAtAnyMomentTheDatabasePathHoldsTheWholeBooks)
{
    QTemporaryDir dataDir;
    QTemporaryDir sameFilesystem;
    QTemporaryDir otherFilesystem(QStringLiteral("/dev/shm/compaction-crash-XXXXXX"));
    ASSERT_TRUE(dataDir.isValid() && sameFilesystem.isValid() && otherFilesystem.isValid());
    const QString books = joinPath({dataDir.path(), QStringLiteral("Books.mdb")});
    makeBooks(books, QString(), 600);

    const CrashReport report =
        killCompactions(books, QString(), {sameFilesystem.path(), otherFilesystem.path()}, 210);

    std::printf("%d runs: %d killed before the replacement, %d after it, %d finished\n", report.runs,
                report.killedBeforeReplacing, report.killedAfterReplacing, report.finished);
    EXPECT_EQ(report.loss, QString());
    EXPECT_EQ(report.runs, 210);
    EXPECT_GT(report.killedBeforeReplacing, report.runs / 4)
        << "the kills did not fall inside the compactions";
    EXPECT_EQ(listing(sameFilesystem.path()), QStringList());
    EXPECT_EQ(listing(otherFilesystem.path()), QStringList());
    EXPECT_EQ(listing(dataDir.path()),
              QStringList{QStringLiteral("/Books.mdb %1").arg(QFileInfo(books).size())});
}

} // namespace

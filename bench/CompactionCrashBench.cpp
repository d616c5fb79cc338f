// The compaction crash series on protected books, in a release build: compactions of a database with a
// password killed with SIGKILL at random moments; after each the database's path must open with the
// password and hold the same rows. Prints the counts and ends with status 1 at the first loss.
//
//   bench_compaction_crash [--runs 240]
#include "tests/compaction/CompactionTestSupport.h"
#include "tests/compaction/CrashHarness.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Compactions to kill."), QStringLiteral("N"),
                      QStringLiteral("240")});
    parser.addOption({QStringLiteral("sizes"), QStringLiteral("Ignored (an option of another benchmark)."),
                      QStringLiteral("MB,MB")});
    parser.addHelpOption();
    parser.process(app);
    const int runs = std::max(200, parser.value(QStringLiteral("runs")).toInt());

    QTemporaryDir data;
    QTemporaryDir sameFilesystem;
    QTemporaryDir otherFilesystem(QStringLiteral("/dev/shm/compaction-crash-XXXXXX"));
    if (!data.isValid() || !sameFilesystem.isValid() || !otherFilesystem.isValid())
        return 2;
    const QString books = data.filePath(QStringLiteral("Books.mdb"));
    CompactionTest::makeBooks(books, CompactionTest::Password);

    QElapsedTimer timer;
    timer.start();
    const CompactionTest::CrashReport report = CompactionTest::killCompactions(
        books, CompactionTest::Password, {sameFilesystem.path(), otherFilesystem.path()}, runs);
    std::printf("protected books, %d runs in %.1f s: %d killed before the replacement, %d after it, %d "
                "finished; %s\n",
                report.runs, double(timer.elapsed()) / 1000.0, report.killedBeforeReplacing,
                report.killedAfterReplacing, report.finished,
                report.loss.isEmpty() ? "no losses" : qPrintable(QStringLiteral("LOSS: ") + report.loss));
    return report.loss.isEmpty() && report.runs == runs ? 0 : 1;
}

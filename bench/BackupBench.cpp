// Backup and restore of an application folder's data (a master database and a few hundred company
// files of 1 to 40 MB, about 1 GiB in all) through the tool's routines, each beside `cp -a` of the
// same tree followed by `sync`. The backup is the window's (the backup library's: checksums taken while
// copying, a hidden folder renamed when whole, every copy read back); the company files are random bytes
// under a name that is no database's ("N.dat"), so the figure holds the copy and its read-back but not
// SQLite's integrity check of each company, which grows with the books, not with the copy. After one warm-up
// of each, the two alternate; the medians and their ratio are printed (goal: at most 1.1), with this
// process's peak memory before and after the copies, which stays flat because no file is ever held in memory
// whole.
//
//   bench_backup [--megabytes M] [--companies N] [--runs R] [--folder DIR]
#include "bench/BenchSupport.h"
#include "maintenance/BackupRestore.h"
#include "platform/doubles/RecordingScreen.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr qint64 MiB = 1024 * 1024;

// Bytes that look like an encrypted database's pages (no run a filesystem could compress or share).
void writeDatabaseFile(const QString& path, qint64 size, quint64 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("Cannot write %s", qPrintable(path));
    QByteArray block(MiB, Qt::Uninitialized);
    quint64 state = seed * 0x9E3779B97F4A7C15ULL + 1;
    for (qint64 written = 0; written < size; written += block.size()) {
        auto* words = reinterpret_cast<quint64*>(block.data());
        for (qsizetype i = 0; i < block.size() / qsizetype(sizeof(quint64)); ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[i] = state;
        }
        file.write(block.constData(), std::min<qint64>(block.size(), size - written));
    }
}

// Company files of 1 to 40 MB, most of them small, about `megabytes` in all, in the folder maker's
// layout (CompanyData/N/N.dat) beside its master and template.
qint64 makeDataFolder(const QString& app, int companies, qint64 megabytes)
{
    AppFolderMaker::make(app, {false, 0});
    const double mean = double(megabytes) / companies;
    const double skew = std::max(0.0, 39.0 / std::max(mean - 1.0, 0.01) - 1.0);
    quint64 state = 42;
    qint64 total = 0;
    for (int id = 1; id <= companies; ++id) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double u = double(state >> 11) / double(1ULL << 53);
        const qint64 size = (qint64((1.0 + 39.0 * std::pow(u, skew)) * MiB) / 4096) * 4096;
        const QString folder = app + QStringLiteral("/CompanyData/") + QString::number(id);
        QDir().mkpath(folder);
        writeDatabaseFile(folder + QLatin1Char('/') + QString::number(id) + QStringLiteral(".dat"), size, id);
        total += size;
    }
    return total + QFile(app + QStringLiteral("/MCLarkspur.mdb")).size();
}

void removeTree(const QString& path)
{
    QDir(path).removeRecursively();
    ::sync(); // the next run starts with nothing of this one left to write
}

double timed(const std::function<bool()>& run)
{
    QElapsedTimer timer;
    timer.start();
    if (!run())
        qFatal("A run failed");
    return double(timer.nsecsElapsed()) / 1e9;
}

double shell(const QString& command)
{
    return BenchSupport::timeCommand(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}, {});
}

QString quoted(const QString& path)
{
    return QLatin1Char('\'') + QString(path).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

struct Pair
{
    double ours = 0;
    double baseline = 0;
};

// Warm-up of each, then `runs` alternating pairs; each run's output is removed (untimed) before the next.
Pair measure(int runs, const std::function<double(int)>& ours, const std::function<double(int)>& baseline,
             const std::function<void(int)>& cleanUp)
{
    ours(0);
    cleanUp(0);
    baseline(0);
    cleanUp(0);
    QVector<double> mine;
    QVector<double> theirs;
    for (int run = 1; run <= runs; ++run) {
        mine.append(ours(run));
        cleanUp(run);
        theirs.append(baseline(run));
        cleanUp(run);
    }
    return {BenchSupport::median(mine), BenchSupport::median(theirs)};
}

void print(const char* what, const Pair& times)
{
    std::printf("%-8s tool %7.3f s   cp -a + sync %7.3f s   ratio %.3f (goal <= 1.1)\n", what, times.ours,
                times.baseline, times.ours / times.baseline);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("megabytes"), QStringLiteral("Size of the company databases in all."),
                      QStringLiteral("M"), QStringLiteral("1024")});
    parser.addOption({QStringLiteral("companies"), QStringLiteral("Company databases."), QStringLiteral("N"),
                      QStringLiteral("300")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs of each to measure."), QStringLiteral("R"),
                      QStringLiteral("5")});
    parser.addOption({QStringLiteral("folder"), QStringLiteral("Where to lay out the data."),
                      QStringLiteral("DIR"), QDir::tempPath()});
    parser.process(app);
    const int runs = std::max(5, parser.value(QStringLiteral("runs")).toInt());
    const int companies = std::max(1, parser.value(QStringLiteral("companies")).toInt());

    QTemporaryDir work(parser.value(QStringLiteral("folder")) + QStringLiteral("/bench_backup-XXXXXX"));
    if (!work.isValid())
        qFatal("Cannot make a work folder");
    const QString source = work.filePath(QStringLiteral("app"));
    const qint64 bytes =
        makeDataFolder(source, companies, parser.value(QStringLiteral("megabytes")).toLongLong());
    ::sync();
    std::printf("data folder: master and %d company databases, %.1f MiB\n", companies, double(bytes) / MiB);
    const double memoryBefore = BenchSupport::peakResidentMiB();

    ScriptedFileOperationUi ui;
    ShellFileOperation files(ui);
    const int flags = BackupRestore::CopyFlags(true);
    auto target = [&](int run) {
        return work.filePath(QStringLiteral("out-%1").arg(run));
    };
    auto cleanUp = [&](int run) {
        removeTree(target(run));
        QFile::remove(target(run) + QStringLiteral(".sha256"));
    };
    ScriptedMessageBox messages;
    RecordingScreenPointer screen;
    auto backupInto = [&](const QString& folder) {
        messages.queueAnswer(MsgResult::Yes);
        return BackupRestore::Backup({messages, screen, files, ui}, source, folder, true) ==
               BackupRestore::Outcome::Completed;
    };

    const Pair backup = measure(
        runs, [&](int run) { return timed([&] { return backupInto(target(run)); }); },
        [&](int run) {
            return shell(QStringLiteral("mkdir -p %1 && cp -a %2 %3 %1/ && sync")
                             .arg(quoted(target(run)), quoted(source + QStringLiteral("/MCLarkspur.mdb")),
                                  quoted(source + QStringLiteral("/CompanyData"))));
        },
        cleanUp);

    const QString saved = work.filePath(QStringLiteral("DB-backup"));
    if (!backupInto(saved))
        qFatal("The backup to restore from failed");
    const Pair restore = measure(
        runs,
        [&](int run) {
            return timed([&] {
                return BackupRestore::RestoreDatabase(files, saved + QLatin1Char('/'),
                                                      target(run) + QLatin1Char('/'), flags)
                    .ok;
            });
        },
        [&](int run) {
            return shell(QStringLiteral("mkdir -p %1 && cp -a %2/. %1/ && sync")
                             .arg(quoted(target(run)), quoted(saved)));
        },
        cleanUp);

    std::printf("median of %d runs each, alternating after a warm-up:\n", runs);
    print("backup", backup);
    print("restore", restore);
    std::printf("peak memory: %.1f MiB after laying out the data, %.1f MiB after all the copies\n",
                memoryBefore, BenchSupport::peakResidentMiB());
    return 0;
}

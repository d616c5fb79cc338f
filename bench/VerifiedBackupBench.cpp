// A verified backup of an application folder's data (a master database and a few hundred protected
// company databases of 1 to 40 MB, about 1 GiB in all) by the routine `vaultkeep backup` runs, beside
// `cp -a` of the same files, `sync` and `sha256sum` of the copy run as one command. After one warm-up of
// each, the two alternate; printed are the medians, their ratio (goal: at most 1.2) and the median time of
// each stage of the backup (copy with checksums and sync; waiting for the checks after the last copy;
// naming and manifest).
//
// Then `vaultkeep compact` (the built program, password on standard input) of a fragmented protected book
// beside the sqlcipher shell's own export of it into a new protected file: medians, ratio (goal: at most
// 1.3) and the two result sizes.
//
//   bench_verified_backup [--megabytes M] [--companies N] [--book-megabytes B] [--runs R] [--folder DIR]
#include "bench/BenchSupport.h"
#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/DatabaseFile.h"
#include "maintenance/backup/BackupMaker.h"
#include "shared/AppFolder.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

constexpr qint64 MiB = 1024 * 1024;
const QString& Password = AppFolder::CommonPassword;

QString jet(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2;")
        .arg(ConnectionString::quoteValue(path), Password);
}

// A protected database of about megabytes MB of rows; with fragmented, twice that written and every
// other row deleted, so that half its pages are free.
void makeBook(const QString& path, qint64 megabytes, bool fragmented)
{
    DatabaseFile::create(path, Password);
    Connection connection;
    connection.open(jet(path));
    connection.execute(QStringLiteral("CREATE TABLE Ledger (ID INTEGER PRIMARY KEY, Account VARCHAR(20), "
                                      "Memo MEMO, Amount DOUBLE)"));
    connection.execute(QStringLiteral("CREATE INDEX Ledger_Account ON Ledger (Account)"));
    const qint64 rows = megabytes * MiB / 520 * (fragmented ? 2 : 1);
    connection.execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                      "i < %1) INSERT INTO Ledger (Account, Memo, Amount) SELECT 'A' || (i % "
                                      "97), hex(randomblob(200)), i * 1.5 FROM n")
                           .arg(rows));
    if (fragmented)
        connection.execute(QStringLiteral("DELETE FROM Ledger WHERE ID % 2 = 0"));
}

// Company databases of 1 to 40 MB, most of them small, about megabytes in all, in the folder maker's
// layout. Real protected databases (each must pass the integrity check): a few books of graded sizes are
// made once and each company gets a copy of the one nearest its size.
qint64 makeDataFolder(const QString& app, int companies, qint64 megabytes)
{
    AppFolderMaker::make(app, {false, 0});
    const QString books = app + QStringLiteral("/../books");
    QDir().mkpath(books);
    const QList<int> sizes{1, 2, 4, 8, 16, 28, 40};
    for (const int size : sizes)
        makeBook(books + QStringLiteral("/%1.mdb").arg(size), size, false);
    const double mean = double(megabytes) / companies;
    const double skew = std::max(0.0, 39.0 / std::max(mean - 1.0, 0.01) - 1.0);
    quint64 state = 42;
    qint64 total = QFileInfo(app + QStringLiteral("/MCLarkspur.mdb")).size();
    for (int id = 1; id <= companies; ++id) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double u = double(state >> 11) / double(1ULL << 53);
        const double wanted = 1.0 + 39.0 * std::pow(u, skew);
        int nearest = sizes.first();
        for (const int size : sizes) {
            if (std::abs(size - wanted) < std::abs(nearest - wanted))
                nearest = size;
        }
        const QString folder = app + QStringLiteral("/CompanyData/") + QString::number(id);
        QDir().mkpath(folder);
        const QString target = folder + QLatin1Char('/') + QString::number(id) + QStringLiteral(".mdb");
        if (!QFile::copy(books + QStringLiteral("/%1.mdb").arg(nearest), target))
            qFatal("Cannot write %s", qPrintable(target));
        total += QFileInfo(target).size();
    }
    QDir(books).removeRecursively();
    return total;
}

QString quoted(const QString& path)
{
    return QLatin1Char('\'') + QString(path).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

void removeTree(const QString& path)
{
    QDir(path).removeRecursively();
    QFile::remove(path + QStringLiteral(".sha256"));
    ::sync(); // the next run starts with nothing of this one left to write
}

struct Stages
{
    QVector<double> total, copy, checkWait, finish;
};

void backupSeries(const QString& app, const QString& out, int runs)
{
    Stages ours;
    QVector<double> baseline;
    NoBackupProgress quiet;
    auto runOurs = [&](int run) {
        QElapsedTimer timer;
        timer.start();
        const BackupMaker::Report report = BackupMaker::make(
            {app, out + QStringLiteral("/ours/DB-2024013123%1").arg(run, 4, 10, QLatin1Char('0')), false, 0,
             Password},
            quiet);
        ours.total.append(double(timer.nsecsElapsed()) / 1e9);
        ours.copy.append(report.copySeconds);
        ours.checkWait.append(report.checkWaitSeconds);
        ours.finish.append(report.finishSeconds);
    };
    auto runBaseline = [&](int run) {
        const QString target = out + QStringLiteral("/baseline/%1").arg(run);
        QDir().mkpath(target);
        const QString command =
            QStringLiteral(
                "cp -a %1/MCLarkspur.mdb %1/CompanyData %2/ && sync && cd %2 && find . -type f -exec "
                "sha256sum {} + > /dev/null")
                .arg(quoted(app), quoted(target));
        baseline.append(
            BenchSupport::timeCommand(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}, {}));
    };
    auto cleanUp = [&] {
        removeTree(out + QStringLiteral("/ours"));
        removeTree(out + QStringLiteral("/baseline"));
    };
    runOurs(0);
    runBaseline(0);
    cleanUp();
    ours = {};
    baseline.clear();
    for (int run = 1; run <= runs; ++run) {
        runOurs(run);
        cleanUp();
        runBaseline(run);
        cleanUp();
    }
    if (baseline.contains(-1))
        qFatal("The baseline command failed");
    const double mine = BenchSupport::median(ours.total);
    const double theirs = BenchSupport::median(baseline);
    std::printf(
        "verified backup %7.3f s (copy+checksums+sync %.3f, checks after the last copy %.3f, name+manifest "
        "%.3f)\n",
        mine, BenchSupport::median(ours.copy), BenchSupport::median(ours.checkWait),
        BenchSupport::median(ours.finish));
    std::printf("cp -a && sync && sha256sum %7.3f s\nratio %.3f (goal <= 1.2)\n", theirs, mine / theirs);
}

void compactSeries(const QString& folder, qint64 megabytes, int runs)
{
    const QString pristine = folder + QStringLiteral("/book.mdb");
    makeBook(pristine, megabytes, true);
    const QString vaultkeep = QCoreApplication::applicationDirPath() + QStringLiteral("/vaultkeep");
    const QString work = folder + QStringLiteral("/work.mdb");
    const QString exported = folder + QStringLiteral("/exported.mdb");
    QVector<double> ours;
    QVector<double> shell;
    qint64 ourSize = 0;
    qint64 shellSize = 0;
    for (int run = 0; run <= runs; ++run) {
        QFile::remove(work);
        QFile::copy(pristine, work);
        ::sync();
        const double mine = BenchSupport::timeCommand(
            vaultkeep, {QStringLiteral("compact"), QStringLiteral("--password-stdin"), work},
            Password.toUtf8() + '\n');
        ourSize = QFileInfo(work).size();
        QFile::remove(exported);
        ::sync();
        const QByteArray script = "PRAGMA key = '" + Password.toUtf8() + "';\nATTACH DATABASE '" +
                                  QFile::encodeName(exported) + "' AS compacted KEY '" + Password.toUtf8() +
                                  "';\nSELECT sqlcipher_export('compacted');\nDETACH DATABASE compacted;\n";
        const double theirs = BenchSupport::timeCommand(QStringLiteral("sqlcipher"),
                                                        {QStringLiteral("-batch"), pristine}, script);
        shellSize = QFileInfo(exported).size();
        if (mine < 0 || theirs < 0)
            qFatal("A compaction failed");
        if (run > 0) {
            ours.append(mine);
            shell.append(theirs);
        }
    }
    const double mine = BenchSupport::median(ours);
    const double theirs = BenchSupport::median(shell);
    std::printf(
        "book %.1f MB: vaultkeep compact %7.3f s -> %.1f MB, sqlcipher export %7.3f s -> %.1f MB, ratio "
        "%.3f (goal <= 1.3)\n",
        double(QFileInfo(pristine).size()) / 1e6, mine, double(ourSize) / 1e6, theirs,
        double(shellSize) / 1e6, mine / theirs);
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
    parser.addOption({QStringLiteral("book-megabytes"), QStringLiteral("Size of the book to compact."),
                      QStringLiteral("B"), QStringLiteral("200")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs of each to measure."), QStringLiteral("R"),
                      QStringLiteral("5")});
    parser.addOption({QStringLiteral("folder"), QStringLiteral("Where to lay out the data."),
                      QStringLiteral("DIR"), QDir::tempPath()});
    parser.addHelpOption();
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    QTemporaryDir dir(parser.value(QStringLiteral("folder")) +
                      QStringLiteral("/bench_verified_backup-XXXXXX"));
    if (!dir.isValid())
        qFatal("Cannot make a folder for the data");
    const QString appFolder = dir.path() + QStringLiteral("/app");
    const qint64 bytes = makeDataFolder(appFolder, parser.value(QStringLiteral("companies")).toInt(),
                                        parser.value(QStringLiteral("megabytes")).toLongLong());
    std::printf("data folder %.1f MB, %d runs each after a warm-up\n", double(bytes) / 1e6, runs);
    backupSeries(appFolder, dir.path(), runs);
    compactSeries(dir.path(), parser.value(QStringLiteral("book-megabytes")).toLongLong(), runs);
    return 0;
}

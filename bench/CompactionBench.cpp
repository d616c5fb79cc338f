// Compaction of a fragmented protected database, beside the sqlcipher shell's own export of the same
// file into a new protected file. Three things are timed, alternating after a warm-up:
//   shell   the shell's export (ATTACH ... KEY, sqlcipher_export, DETACH): the baseline;
//   copy    the engine's CompactDatabase: the making of the compacted copy;
//   whole   the maintenance tool's CompactDatabaseFile: copy, check, sync and replacement.
// Each run is a process of its own, started afresh, so that its peak memory is its own; the runs of
// "whole" work on a fresh copy of the fragmented file, made before the clock starts. Printed: medians, ratios
// to the shell, the sizes of the results and peak memory, for each database size.
//
//   bench_compaction [--sizes 50,200] [--runs 5]
#include "bench/BenchSupport.h"
#include "engine/CompactDatabase.h"
#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/DatabaseFile.h"
#include "maintenance/compaction/ComprimirAccess2000.h"
#include "platform/doubles/RecordingScreen.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/doubles/ScriptedPickers.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QVector>

#include <cstdio>

namespace {

const QString Password = QStringLiteral("Marigold4817");

QString jet(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2;")
        .arg(ConnectionString::quoteValue(path), Password);
}

// About megabytes MB of pages of which half are free: rows of ~450 bytes, every other one deleted.
void makeFragmented(const QString& path, int megabytes)
{
    DatabaseFile::create(path, Password);
    Connection connection;
    connection.open(jet(path));
    connection.execute(QStringLiteral("CREATE TABLE Ledger (ID INTEGER PRIMARY KEY, Account VARCHAR(20), "
                                      "Memo MEMO, Amount DOUBLE)"));
    connection.execute(QStringLiteral("CREATE INDEX Ledger_Account ON Ledger (Account)"));
    const int rows = megabytes * 1024 * 1024 / 520;
    connection.execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                      "i < %1) INSERT INTO Ledger (Account, Memo, Amount) SELECT 'A' || (i % "
                                      "97), hex(randomblob(200)), i * 1.5 FROM n")
                           .arg(rows));
    connection.execute(QStringLiteral("DELETE FROM Ledger WHERE ID % 2 = 0"));
}

struct Run
{
    double seconds = -1;
    double peakMiB = 0;
};

// The peak resident memory of a running process since it was started (its own image, not the parent's
// it was forked from).
double peakMiBOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// The shell reads its script from standard input, as a person would type it. It stays open after the
// script, until its peak memory has been read.
Run shellExport(const QString& source, const QString& target)
{
    const QByteArray script = "PRAGMA key = '" + Password.toUtf8() + "';\nATTACH DATABASE '" +
                              QFile::encodeName(target) + "' AS compacted KEY '" + Password.toUtf8() +
                              "';\nSELECT sqlcipher_export('compacted');\nDETACH DATABASE compacted;\n"
                              "SELECT 'finished';\n";
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), source});
    if (!shell.waitForStarted())
        return {};
    shell.write(script);
    QByteArray output;
    while (!output.contains("finished") && shell.waitForReadyRead(600000))
        output += shell.readAllStandardOutput();
    Run run;
    if (output.contains("finished"))
        run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.peakMiB = peakMiBOf(shell.processId());
    shell.closeWriteChannel();
    shell.waitForFinished(600000);
    return run;
}

// One operation in a fresh process of this program, which prints its own peak memory.
Run inOwnProcess(const QStringList& arguments)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QCoreApplication::applicationFilePath(), arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return {};
    Run run;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.peakMiB = process.readAllStandardOutput().trimmed().toDouble();
    return run;
}

Run engineCopy(const QString& source, const QString& target)
{
    return inOwnProcess({QStringLiteral("--copy"), source, target});
}

Run wholeCompaction(const QString& database, const QString& toolFolder)
{
    return inOwnProcess({QStringLiteral("--whole"), database, toolFolder});
}

// The operations themselves, run by inOwnProcess; each prints the process's peak memory in MiB.
int copyOnce(const QString& source, const QString& target)
{
    try {
        CompactDatabase(jet(source), jet(target));
    } catch (...) {
        return 1;
    }
    std::printf("%.1f\n", peakMiBOf(QCoreApplication::applicationPid()));
    return 0;
}

int wholeOnce(const QString& database, const QString& toolFolder)
{
    ScriptedMessageBox messages;
    ScriptedFileOpenDialog dialog;
    RecordingScreenPointer pointer;
    CountingEventPump events;
    ComprimirAccess2000::Module module{messages, dialog, pointer, events, toolFolder, {}, false};
    if (!ComprimirAccess2000::CompactDatabaseFile(module, database, Password, nullptr))
        return 1;
    std::printf("%.1f\n", peakMiBOf(QCoreApplication::applicationPid()));
    return 0;
}

struct Series
{
    QVector<double> seconds;
    double peakMiB = 0;
    void add(const Run& run)
    {
        seconds.append(run.seconds);
        peakMiB = std::max(peakMiB, run.peakMiB);
    }
    double median() const { return BenchSupport::median(seconds); }
};

bool measure(int megabytes, int runs)
{
    QTemporaryDir folder;
    const QString pristine = folder.filePath(QStringLiteral("Fragmented.mdb"));
    const QString work = folder.filePath(QStringLiteral("Books.mdb"));
    const QString shellCopy = folder.filePath(QStringLiteral("shell.mdb"));
    const QString engineTarget = folder.filePath(QStringLiteral("engine.mdb"));
    const QString tool = folder.filePath(QStringLiteral("tool"));
    QDir().mkpath(tool);
    makeFragmented(pristine, megabytes);
    const qint64 fragmentedSize = QFileInfo(pristine).size();

    Series shell;
    Series copy;
    Series whole;
    qint64 shellSize = 0;
    qint64 copySize = 0;
    qint64 wholeSize = 0;
    for (int round = 0; round <= runs; ++round) {
        QFile::remove(shellCopy);
        QFile::remove(engineTarget);
        QFile::remove(work);
        if (!QFile::copy(pristine, work))
            return false;
        const Run s = shellExport(pristine, shellCopy);
        const Run c = engineCopy(pristine, engineTarget);
        const Run w = wholeCompaction(work, tool);
        if (s.seconds < 0 || c.seconds < 0 || w.seconds < 0) {
            std::printf("a run failed (shell %.3f, copy %.3f, whole %.3f)\n", s.seconds, c.seconds,
                        w.seconds);
            return false;
        }
        if (round == 0)
            continue; // warm-up
        shell.add(s);
        copy.add(c);
        whole.add(w);
        shellSize = QFileInfo(shellCopy).size();
        copySize = QFileInfo(engineTarget).size();
        wholeSize = QFileInfo(work).size();
    }

    std::printf("fragmented database %.1f MB, %d runs each after a warm-up\n", double(fragmentedSize) / 1e6,
                runs);
    std::printf("  shell export     median %7.3f s  result %.1f MB  peak %6.1f MiB\n", shell.median(),
                double(shellSize) / 1e6, shell.peakMiB);
    std::printf(
        "  compacted copy   median %7.3f s  result %.1f MB  peak %6.1f MiB  ratio %.2f (goal <= 1.10)\n",
        copy.median(), double(copySize) / 1e6, copy.peakMiB, copy.median() / shell.median());
    std::printf(
        "  whole compaction median %7.3f s  result %.1f MB  peak %6.1f MiB  ratio %.2f (goal <= 1.30)\n",
        whole.median(), double(wholeSize) / 1e6, whole.peakMiB, whole.median() / shell.median());
    std::printf("  size ratio copy/shell %.4f, whole/shell %.4f (goal 1)\n",
                double(copySize) / double(shellSize), double(wholeSize) / double(shellSize));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--copy") == 0)
        return copyOnce(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc == 4 && qstrcmp(argv[1], "--whole") == 0)
        return wholeOnce(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("sizes"), QStringLiteral("Database sizes in MB, comma-separated."),
                      QStringLiteral("MB,MB"), QStringLiteral("50,200")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Measured runs of each kind."),
                      QStringLiteral("R"), QStringLiteral("5")});
    parser.addHelpOption();
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    for (const QString& size : parser.value(QStringLiteral("sizes")).split(QLatin1Char(','))) {
        if (!measure(size.toInt(), runs))
            return 1;
    }
    return 0;
}

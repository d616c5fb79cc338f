// Start-up of the launcher in an application folder of many companies, laid out as mkappfolder lays
// them out (every company's folder and database), side by side with the start in a folder of one
// company: the time from the process start to the login window shown and the peak memory of each, and
// their ratios. The two starts alternate, each in a fresh process as a person's start would be. The
// sqlcipher shell opening the larger master and reading its Company table is shown beside them.
//
//   bench_startup [--companies N] [--runs R]
//
// Goals: the start with N companies at most 1.2 times the start with one, and its peak memory within
// 10 MiB of it.
#include "bench/BenchSupport.h"
#include "launcher/windows/DesktopLauncher.h"
#include "platform/AppInfo.h"
#include "shared/AppFolder.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// One start, the same steps as the launcher's main(), from an application folder given on the command
// line. Prints "<seconds since process start> <peak MiB>".
int startOnce(int argc, char** argv, const QString& folder)
{
    QApplication app(argc, argv);
    AppInfo info = AppInfo::current(QStringLiteral("companydesk"));
    info.folder = folder;
    DesktopLauncher launcher(info);
    if (launcher.settings().get(QStringLiteral("companyid")).isEmpty())
        launcher.settings().save(QStringLiteral("companyid"), QStringLiteral("1"));
    launcher.start();
    QCoreApplication::processEvents();
    if (!launcher.loginShown())
        return 1;
    std::printf("%.4f %.1f\n", BenchSupport::secondsSinceProcessStart(), BenchSupport::peakResidentMiB());
    return 0;
}

// The medians of the starts in one folder.
struct Starts
{
    QVector<double> seconds;
    QVector<double> memory;
};

bool startIn(const QString& folder, const QProcessEnvironment& environment, Starts& starts)
{
    QProcess start;
    start.setProcessEnvironment(environment);
    start.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start"), folder});
    if (!start.waitForFinished(120000) || start.exitCode() != 0) {
        std::fprintf(stderr, "the launcher did not show its login window in %s\n", qPrintable(folder));
        return false;
    }
    const QList<QByteArray> figures = start.readAllStandardOutput().trimmed().split(' ');
    starts.seconds << figures.value(0).toDouble();
    starts.memory << figures.value(1).toDouble();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--start") == 0)
        return startOnce(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("companies"), QStringLiteral("Companies in the larger folder."),
                      QStringLiteral("N"), QStringLiteral("32767")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Starts to measure in each folder."),
                      QStringLiteral("R"), QStringLiteral("5")});
    parser.process(app);
    const int companies = parser.value(QStringLiteral("companies")).toInt();
    const int runs = parser.value(QStringLiteral("runs")).toInt();

    QTemporaryDir work;
    const QString many = work.filePath(QStringLiteral("many"));
    const QString one = work.filePath(QStringLiteral("one"));
    AppFolderMaker::make(many, {false, companies});
    AppFolderMaker::make(one, {false, 1});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), work.path());
    if (!environment.contains(QStringLiteral("DISPLAY")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    // One start of each first, unmeasured, so that both folders are read from the page cache alike.
    Starts warmUp;
    if (!startIn(many, environment, warmUp) || !startIn(one, environment, warmUp))
        return 1;
    Starts manyStarts, oneStarts;
    QVector<double> shell;
    for (int i = 0; i < runs; ++i) {
        if (!startIn(many, environment, manyStarts) || !startIn(one, environment, oneStarts))
            return 1;
        shell << BenchSupport::timeCommand(
            QStringLiteral("sqlcipher"), {many + QStringLiteral("/MCLarkspur.mdb")},
            "PRAGMA key='" + AppFolder::CommonPassword.toUtf8() + "';\nSELECT * FROM Company;\n");
    }
    const double manySeconds = BenchSupport::median(manyStarts.seconds);
    const double oneSeconds = BenchSupport::median(oneStarts.seconds);
    const double manyMemory = BenchSupport::median(manyStarts.memory);
    const double oneMemory = BenchSupport::median(oneStarts.memory);
    std::printf("companies: %d beside 1, runs: %d (alternating)\n", companies, runs);
    std::printf("start with %d companies, process start to login window shown: %.3f s (median), peak memory "
                "%.1f MiB\n",
                companies, manySeconds, manyMemory);
    std::printf("start with 1 company, process start to login window shown: %.3f s (median), peak memory "
                "%.1f MiB\n",
                oneSeconds, oneMemory);
    std::printf("ratio %d companies / 1 company: %.2f (goal: at most 1.20)\n", companies,
                oneSeconds > 0 ? manySeconds / oneSeconds : 0.0);
    std::printf("peak memory %d companies - 1 company: %+.1f MiB (goal: at most 10)\n", companies,
                manyMemory - oneMemory);
    std::printf("sqlcipher shell, open the master of %d companies and read its Company table: %.3f s "
                "(median)\n",
                companies, BenchSupport::median(shell));
    return 0;
}

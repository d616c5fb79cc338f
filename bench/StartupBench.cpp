// Start-up of the launcher on a master database of many companies: the time from the process start to
// the login window shown, beside the time the sqlcipher shell takes to open the same master database
// and read its Company table. Each start runs in a fresh process, as a person's start would.
//
//   bench_startup [--companies N] [--runs R]
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

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--start") == 0)
        return startOnce(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("companies"), QStringLiteral("Companies in the master."),
                      QStringLiteral("N"), QStringLiteral("32767")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Starts to measure."), QStringLiteral("R"),
                      QStringLiteral("5")});
    parser.process(app);
    const int companies = parser.value(QStringLiteral("companies")).toInt();
    const int runs = parser.value(QStringLiteral("runs")).toInt();

    QTemporaryDir work;
    const QString folder = work.filePath(QStringLiteral("app"));
    AppFolderMaker::make(folder, {false, companies});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), work.path());
    if (!environment.contains(QStringLiteral("DISPLAY")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QVector<double> launcher, memory, shell;
    for (int i = 0; i < runs; ++i) {
        QProcess start;
        start.setProcessEnvironment(environment);
        start.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start"), folder});
        if (!start.waitForFinished(120000) || start.exitCode() != 0) {
            std::fprintf(stderr, "the launcher did not show its login window\n");
            return 1;
        }
        const QList<QByteArray> figures = start.readAllStandardOutput().trimmed().split(' ');
        launcher << figures.value(0).toDouble();
        memory << figures.value(1).toDouble();
        shell << BenchSupport::timeCommand(
            QStringLiteral("sqlcipher"), {folder + QStringLiteral("/MCLarkspur.mdb")},
            "PRAGMA key='" + AppFolder::CommonPassword.toUtf8() + "';\nSELECT * FROM Company;\n");
    }
    const double launcherMedian = BenchSupport::median(launcher);
    const double shellMedian = BenchSupport::median(shell);
    std::printf("companies: %d, runs: %d\n", companies, runs);
    std::printf("launcher, process start to login window shown: %.3f s (median), peak memory %.1f MiB\n",
                launcherMedian, BenchSupport::median(memory));
    std::printf("sqlcipher shell, open and read the Company table: %.3f s (median)\n", shellMedian);
    std::printf("ratio launcher / shell: %.2f\n", shellMedian > 0 ? launcherMedian / shellMedian : 0.0);
    return 0;
}

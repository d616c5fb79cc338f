// The company chooser on a master database of many companies, with the master connection already open:
// the time from opening the chooser until its grid is filled and shown, beside the time the engine takes
// to read the same rows (key already derived). Median of several runs; the goal is at most 1.3 times
// the engine's time.
//
//   bench_chooser [--companies N] [--runs R]
#include "bench/BenchSupport.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/windows/LauncherWindows.h"
#include "launcher/windows/frmChooseCompany.h"
#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/doubles/MemorySettingsStore.h"
#include "platform/doubles/RecordingFatalError.h"
#include "platform/doubles/RecordingProgramStarter.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/doubles/ScriptedModalHost.h"
#include "platform/doubles/ScriptedPickers.h"
#include "platform/fileop/ShellFileOperation.h"
#include "shared/AppFolder.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("companies"), QStringLiteral("Companies in the master."),
                      QStringLiteral("N"), QStringLiteral("32767")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs to measure."), QStringLiteral("R"),
                      QStringLiteral("5")});
    parser.process(app);
    const int companies = parser.value(QStringLiteral("companies")).toInt();
    const int runs = std::max(5, parser.value(QStringLiteral("runs")).toInt());

    QTemporaryDir work;
    AppFolderMaker::make(work.path(), {false, companies});
    AppInfo info;
    info.folder = work.path();
    info.productName = QStringLiteral("companydesk");
    MemorySettingsStore settings;
    ScriptedMessageBox messages;
    RecordingFatalError fatal;
    ScriptedModalHost modal;
    RecordingProgramStarter starter;
    ScriptedFolderPicker folders;
    ScriptedFileOperationUi fileUi;
    ShellFileOperation files(fileUi);
    const DesktopServices services{info, settings, messages, fatal, modal, starter, folders, files};
    LauncherGlobals globals;
    globals.MasterConnection.setCursorLocation(Ado::UseClient);
    globals.MasterConnection.open(AppFolder::MasterDataLinkReference(work.path()));
    globals.DatabasePath = work.path();
    LauncherWindows windows(globals, services);
    MdlDAO::GetDatabasePath(globals); // derives the key before anything is timed

    QVector<double> engine, chooser;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        Recordset rows = MdlDAO::GetCompanyList(globals);
        const int count = rows.recordCount();
        rows.close();
        engine << double(timer.nsecsElapsed()) / 1e6;

        timer.restart();
        frmChooseCompany window(globals, services, windows);
        window.show();
        QCoreApplication::processEvents();
        chooser << double(timer.nsecsElapsed()) / 1e6;
        if (window.gridRowCount() != count + 1 || fatal.ended()) {
            std::fprintf(stderr, "the chooser did not show every company\n");
            return 1;
        }
    }
    const double engineMedian = BenchSupport::median(engine);
    const double chooserMedian = BenchSupport::median(chooser);
    std::printf("companies: %d, runs: %d\n", companies, runs);
    std::printf("engine, read every Company row: %.1f ms (median)\n", engineMedian);
    std::printf("chooser, open until the grid is filled and shown: %.1f ms (median)\n", chooserMedian);
    std::printf("ratio chooser / engine: %.2f (goal: at most 1.30)\n", chooserMedian / engineMedian);
    return 0;
}

// The launcher's steps on an application folder, one after another in one process, for counting the
// file-system calls each makes on the data folder (scripts/count-folder-calls.sh runs it under strace):
// the start-up up to the login window shown, the company chooser opened and shown, an add of one
// company (refused when every identifier is taken), and a login (the start of the accounting application for
// the current company). Before each step it writes "== <step>" to the descriptor -1, which fails at once and
// leaves the step's name in the trace. The desktop's dialogs and the program start are the scripted test
// doubles, so nothing waits for a person and no program is started.
//
//   launcher_steps FOLDER
#include "launcher/core/Global.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/windows/LauncherWindows.h"
#include "launcher/windows/LoginWindowHost.h"
#include "launcher/windows/frmChooseCompany.h"
#include "launcher/windows/frmLogin.h"
#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/doubles/FixedInstanceGuard.h"
#include "platform/doubles/MemorySettingsStore.h"
#include "platform/doubles/RecordingFatalError.h"
#include "platform/doubles/RecordingProgramStarter.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/doubles/ScriptedModalHost.h"
#include "platform/doubles/ScriptedPickers.h"
#include "platform/fileop/ShellFileOperation.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

void step(const char* name)
{
    const QByteArray text = QByteArray("== ") + name + '\n';
    (void)!::write(-1, text.constData(), size_t(text.size()));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: launcher_steps FOLDER\n");
        return 2;
    }
    AppInfo info;
    info.folder = QString::fromLocal8Bit(argv[1]);
    info.productName = QStringLiteral("companydesk");
    info.fileName = QStringLiteral("companydesk");
    MemorySettingsStore settings;
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    ScriptedMessageBox messages;
    RecordingFatalError fatal;
    ScriptedModalHost modal;
    RecordingProgramStarter starter;
    ScriptedFolderPicker folders;
    ScriptedFileOperationUi fileUi;
    ShellFileOperation files(fileUi);
    FixedInstanceGuard instances(false);
    const DesktopServices services{info, settings, messages, fatal, modal, starter, folders, files};
    LauncherGlobals globals;
    LauncherWindows windows(globals, services);
    LoginWindowHost login(globals, services, windows);

    step("start");
    Global::Main(globals, StartupServices{info, settings, messages, instances, login});
    QCoreApplication::processEvents();
    if (login.window() == nullptr || !login.window()->isVisible() || fatal.ended()) {
        std::fprintf(stderr, "the login window was not shown\n");
        return 1;
    }

    step("chooser");
    {
        frmChooseCompany chooser(globals, services, windows);
        chooser.show();
        QCoreApplication::processEvents();
    }

    step("add");
    // With 32767 companies no identifier is left: the add is refused, which is counted all the same.
    if (!MdlDAO::AddCompany(globals, files, QStringLiteral("counted")))
        std::fprintf(stderr, "the add was refused\n");

    step("login");
    login.window()->txtUserName->setText(QStringLiteral("admin"));
    login.window()->txtPassword->setText(QStringLiteral("secret"));
    login.window()->cmdOK->click();
    step("end");
    if (starter.calls().isEmpty() || fatal.ended()) {
        std::fprintf(stderr, "the login did not start the accounting application\n");
        return 1;
    }
    return 0;
}

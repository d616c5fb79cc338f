#include "AppInfo.h"
#include "Application.h"
#include "ExecModalHost.h"
#include "Global.h"
#include "LauncherGlobals.h"
#include "LauncherServices.h"
#include "LauncherWindows.h"
#include "LockFileInstanceGuard.h"
#include "LoginWindowHost.h"
#include "PosixProgramStarter.h"
#include "QtFatalError.h"
#include "QtFileOperationUi.h"
#include "QtMessageBox.h"
#include "QtPickers.h"
#include "QtSettingsStore.h"
#include "ShellFileOperation.h"
#include "frmLogin.h"

int main(int argc, char** argv)
{
    const QString product = QStringLiteral("companydesk");
    Application app(argc, argv);
    app.setIdentity(product);
    const AppInfo info = AppInfo::current(product);

    QtMessageBox messages(info.productName);
    QtFatalError fatal(messages, info.productName);
    app.setFatalError(&fatal);
    QtSettingsStore settings(info.productName);
    LockFileInstanceGuard instances(info.productName);
    ExecModalHost modal;
    PosixProgramStarter starter;
    QtFolderPicker folders;
    QtFileOperationUi fileUi(info.productName);
    ShellFileOperation files(fileUi);

    LauncherGlobals globals;
    const LauncherServices services{info, settings, messages, fatal, modal, starter, folders, files};
    LauncherWindows windows(globals, services);
    LoginWindowHost login(globals, services, windows);
    Global::Main(globals, StartupServices{info, settings, messages, instances, login});

    // A refused second copy returns from the start-up with no window open: the program ends there.
    if (login.window() == nullptr || !login.window()->isVisible())
        return 0;
    return app.exec();
}

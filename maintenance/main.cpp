#include "maintenance/MaintenanceServices.h"
#include "maintenance/frmMain.h"
#include "platform/AppInfo.h"
#include "platform/Application.h"
#include "platform/QtFatalError.h"
#include "platform/QtMessageBox.h"
#include "platform/QtPickers.h"
#include "platform/QtScreen.h"
#include "platform/fileop/QtFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"

int main(int argc, char** argv)
{
    const QString product = QStringLiteral("vaultkeep");
    Application app(argc, argv);
    app.setIdentity(product);
    const AppInfo info = AppInfo::current(product);

    QtMessageBox messages(info.productName);
    QtFatalError fatal(messages, info.productName);
    app.setFatalError(&fatal);
    QtScreenPointer screen;
    QtEventPump events;
    QtFolderPicker folders;
    QtFileOpenDialog fileOpen;
    QtFileOperationUi fileUi(info.productName);
    ShellFileOperation files(fileUi);

    frmMain window({info, messages, fatal, screen, events, folders, fileOpen, files});
    window.show();
    return app.exec();
}

#include "maintenance/MaintenanceServices.h"
#include "maintenance/frmMain.h"
#include "platform/AppInfo.h"
#include "platform/Application.h"
#include "platform/QtDesktopServices.h"

int main(int argc, char** argv)
{
    const QString product = QStringLiteral("vaultkeep");
    Application app(argc, argv);
    app.setIdentity(product);
    QtDesktopServices desktop(AppInfo::current(product));
    app.setFatalError(&desktop.fatal());

    frmMain window({desktop.info(), desktop.messages(), desktop.fatal(), desktop.screen(), desktop.events(),
                    desktop.folders(), desktop.fileOpen(), desktop.files()});
    window.show();
    return app.exec();
}

#include "launcher/windows/DesktopLauncher.h"
#include "platform/AppInfo.h"
#include "platform/Application.h"

int main(int argc, char** argv)
{
    const QString product = QStringLiteral("companydesk");
    Application app(argc, argv);
    app.setIdentity(product);
    DesktopLauncher launcher(AppInfo::current(product));
    app.setFatalError(&launcher.fatal());
    launcher.start();
    // A refused second copy returns from the start-up with no window open: the program ends there.
    if (!launcher.loginShown())
        return 0;
    return app.exec();
}

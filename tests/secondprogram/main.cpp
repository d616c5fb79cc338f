// The smallest second program on the shared core: one folder, this file, and the base, engine, platform and
// shared libraries. It opens the master database of the application folder it is given through the engine
// and tells how many companies it holds in a message box shown through the desktop services. To be run
// by a test without a person at the screen, it closes its own box and prints what the box showed.

#include "base/AppError.h"
#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "platform/AppInfo.h"
#include "platform/Application.h"
#include "platform/MessageBox.h"
#include "platform/QtDesktopServices.h"
#include "shared/AppFolder.h"

#include <QMessageBox>
#include <QTimer>
#include <cstdio>

namespace {

// Reports the box that is showing, then closes it.
void closeTheBoxWhenShown()
{
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            closeTheBoxWhenShown();
            return;
        }
        std::printf("BOX|%s|%s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
        std::fflush(stdout);
        box->accept();
    });
}

QString companyCount(const QString& appFolder)
{
    try {
        Connection master;
        master.open(AppFolder::MasterDataLinkReference(appFolder));
        Recordset companies;
        companies.open(QStringLiteral("select * from Company"), master);
        return QStringLiteral("%1 companies in %2").arg(companies.recordCount()).arg(master.databasePath());
    } catch (const AppError& error) {
        return QStringLiteral("Error %1: %2").arg(error.number()).arg(error.description());
    }
}

} // namespace

int main(int argc, char** argv)
{
    const QString product = QStringLiteral("secondprogram");
    Application app(argc, argv);
    app.setIdentity(product);
    QtDesktopServices desktop(AppInfo::current(product));
    app.setFatalError(&desktop.fatal());

    const QStringList arguments = QCoreApplication::arguments();
    const QString text = arguments.size() == 2 ? companyCount(arguments[1])
                                               : QStringLiteral("Usage: secondprogram <application folder>");
    closeTheBoxWhenShown();
    desktop.services().messages.show(text, MsgStyle::Information);
    return text.contains(QStringLiteral(" companies in ")) ? 0 : 2;
}

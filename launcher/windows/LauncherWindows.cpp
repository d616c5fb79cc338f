#include "launcher/windows/LauncherWindows.h"

#include "launcher/core/LauncherGlobals.h"
#include "launcher/windows/frmChooseCompany.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/ModalHost.h"

LauncherWindows::LauncherWindows(LauncherGlobals& globals, const DesktopServices& services)
    : m_globals(globals), m_services(services)
{}

void LauncherWindows::ShowChooseCompany()
{
    frmChooseCompany chooser(m_globals, m_services, *this);
    m_services.modal.showModal(chooser);
}

// The two connection settings windows are not built yet; until they are, the operator is told so
// rather than shown nothing.
void LauncherWindows::ShowLanMain()
{
    m_services.messages.show(
        QStringLiteral("The master database location window is not part of this build yet."),
        MsgStyle::Information, QString());
}

void LauncherWindows::ShowLanConnection()
{
    m_services.messages.show(QStringLiteral("The data location window is not part of this build yet."),
                             MsgStyle::Information, QString());
}

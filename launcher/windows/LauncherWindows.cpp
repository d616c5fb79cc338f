#include "launcher/windows/LauncherWindows.h"

#include "launcher/core/LauncherGlobals.h"
#include "launcher/windows/LauncherServices.h"
#include "launcher/windows/frmChooseCompany.h"
#include "launcher/windows/frmLanConnection.h"
#include "launcher/windows/frmLanMain.h"
#include "platform/ModalHost.h"

LauncherWindows::LauncherWindows(LauncherGlobals& globals, const LauncherServices& services)
    : m_globals(globals), m_services(services)
{}

void LauncherWindows::ShowChooseCompany()
{
    frmChooseCompany chooser(m_globals, m_services, *this);
    m_services.modal.showModal(chooser);
}

void LauncherWindows::ShowLanMain()
{
    frmLanMain window(m_globals, m_services);
    m_services.modal.showModal(window);
}

void LauncherWindows::ShowLanConnection()
{
    frmLanConnection window(m_globals, m_services);
    m_services.modal.showModal(window);
}

#include "launcher/windows/LoginWindowHost.h"

#include "launcher/windows/frmLogin.h"
#include "platform/DesktopServices.h"
#include "platform/FatalError.h"

LoginWindowHost::LoginWindowHost(LauncherGlobals& globals, const DesktopServices& services,
                                 ILauncherWindows& windows)
    : m_globals(globals), m_services(services), m_windows(windows)
{}

LoginWindowHost::~LoginWindowHost() = default;

void LoginWindowHost::createAndUnload()
{
    frmLogin unloaded(m_globals, m_services, m_windows);
}

void LoginWindowHost::showModeless()
{
    m_window = std::make_unique<frmLogin>(m_globals, m_services, m_windows);
    m_window->Form_Load();
    m_window->show();
}

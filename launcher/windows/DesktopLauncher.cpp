#include "launcher/windows/DesktopLauncher.h"

#include "launcher/core/Global.h"
#include "launcher/windows/frmLogin.h"

DesktopLauncher::DesktopLauncher(const AppInfo& info)
    : m_desktop(info), m_windows(m_globals, m_desktop.services()),
      m_login(m_globals, m_desktop.services(), m_windows)
{}

void DesktopLauncher::start()
{
    Global::Main(m_globals, StartupServices{m_desktop.info(), m_desktop.settings(), m_desktop.messages(),
                                            m_desktop.instances(), m_login});
}

bool DesktopLauncher::loginShown() const
{
    return m_login.window() != nullptr && m_login.window()->isVisible();
}

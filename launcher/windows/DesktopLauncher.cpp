#include "launcher/windows/DesktopLauncher.h"

#include "launcher/core/Global.h"
#include "launcher/windows/frmLogin.h"

DesktopLauncher::DesktopLauncher(const AppInfo& info)
    : m_info(info), m_messages(m_info.productName), m_fatal(m_messages, m_info.productName),
      m_settings(m_info.productName), m_instances(m_info.productName), m_fileUi(m_info.productName),
      m_files(m_fileUi), m_services{m_info,  m_settings, m_messages, m_fatal,
                                    m_modal, m_starter,  m_folders,  m_files},
      m_windows(m_globals, m_services), m_login(m_globals, m_services, m_windows)
{}

void DesktopLauncher::start()
{
    Global::Main(m_globals, StartupServices{m_info, m_settings, m_messages, m_instances, m_login});
}

bool DesktopLauncher::loginShown() const
{
    return m_login.window() != nullptr && m_login.window()->isVisible();
}

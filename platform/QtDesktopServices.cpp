#include "platform/QtDesktopServices.h"

QtDesktopServices::QtDesktopServices(const AppInfo& info)
    : m_info(info), m_messages(m_info.productName), m_fatal(m_messages, m_info.productName),
      m_settings(m_info.productName), m_fileUi(m_info.productName),
      m_files(m_fileUi), m_services{m_info,  m_settings, m_messages, m_fatal,
                                    m_modal, m_starter,  m_folders,  m_files}
{}

IInstanceGuard& QtDesktopServices::instances()
{
    if (!m_instances)
        m_instances = std::make_unique<LockFileInstanceGuard>(m_info.productName);
    return *m_instances;
}

#pragma once

#include "launcher/core/LauncherGlobals.h"
#include "launcher/windows/LauncherWindows.h"
#include "launcher/windows/LoginWindowHost.h"
#include "platform/QtDesktopServices.h"

// The launcher with the desktop's real services, as the program runs it: the services, the globals and
// the windows, owned together for the whole run.
class DesktopLauncher
{
public:
    explicit DesktopLauncher(const AppInfo& info);
    DesktopLauncher(const DesktopLauncher&) = delete;
    DesktopLauncher& operator=(const DesktopLauncher&) = delete;

    IFatalError& fatal() { return m_desktop.fatal(); }
    ISettingsStore& settings() { return m_desktop.settings(); }

    // The start-up: refuses a second copy, opens the master database and shows the login window.
    void start();
    // Whether the start-up left the login window open (it does not for a refused second copy).
    bool loginShown() const;

private:
    QtDesktopServices m_desktop;
    LauncherGlobals m_globals;
    LauncherWindows m_windows;
    LoginWindowHost m_login;
};

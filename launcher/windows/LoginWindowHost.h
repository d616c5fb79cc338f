#pragma once

#include "launcher/core/Global.h"

#include <memory>

class ILauncherWindows;
class frmLogin;
struct LauncherGlobals;
struct DesktopServices;

// Creates the login window for the start-up and keeps it for the rest of the run.
class LoginWindowHost : public ILoginWindowHost
{
public:
    LoginWindowHost(LauncherGlobals& globals, const DesktopServices& services, ILauncherWindows& windows);
    ~LoginWindowHost() override;

    void createAndUnload() override;
    void showModeless() override;

    frmLogin* window() const { return m_window.get(); }

private:
    LauncherGlobals& m_globals;
    const DesktopServices& m_services;
    ILauncherWindows& m_windows;
    std::unique_ptr<frmLogin> m_window;
};

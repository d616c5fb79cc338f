#pragma once

#include "launcher/windows/ILauncherWindows.h"

struct LauncherGlobals;
struct DesktopServices;

// The real modal windows behind the login window's seam.
class LauncherWindows : public ILauncherWindows
{
public:
    LauncherWindows(LauncherGlobals& globals, const DesktopServices& services);
    void ShowChooseCompany() override;
    void ShowLanMain() override;
    void ShowLanConnection() override;

private:
    LauncherGlobals& m_globals;
    const DesktopServices& m_services;
};

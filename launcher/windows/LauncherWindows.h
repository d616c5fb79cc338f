#pragma once

#include "launcher/windows/ILauncherWindows.h"

struct LauncherGlobals;
struct LauncherServices;

// The real modal windows behind the login window's seam.
class LauncherWindows : public ILauncherWindows
{
public:
    LauncherWindows(LauncherGlobals& globals, const LauncherServices& services);
    void ShowChooseCompany() override;
    void ShowLanMain() override;
    void ShowLanConnection() override;

private:
    LauncherGlobals& m_globals;
    const LauncherServices& m_services;
};

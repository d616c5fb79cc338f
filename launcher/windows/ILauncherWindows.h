#pragma once

// The modal windows the login window opens. Kept behind this seam so that the login window does not
// build them itself and tests can put a scripted stand-in in their place.
class ILauncherWindows
{
public:
    virtual ~ILauncherWindows() = default;
    // The company chooser; on return the globals hold the choice (or what they held, when cancelled).
    virtual void ShowChooseCompany() = 0;
    // The master-database location window.
    virtual void ShowLanMain() = 0;
    // The data-location window.
    virtual void ShowLanConnection() = 0;
};

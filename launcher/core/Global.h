#pragma once

#include <QString>

struct AppInfo;
struct LauncherGlobals;
class IInstanceGuard;
class IMessageBox;
class ISettingsStore;

// How the start-up reaches the login window without knowing the window itself.
class ILoginWindowHost
{
public:
    virtual ~ILoginWindowHost() = default;
    // Creates the window (its initialisation runs) and unloads it at once, unshown.
    virtual void createAndUnload() = 0;
    // Creates, loads and shows the window without waiting for it.
    virtual void showModeless() = 0;
};

struct StartupServices
{
    const AppInfo& app;
    ISettingsStore& settings;
    IMessageBox& messages;
    IInstanceGuard& instances;
    ILoginWindowHost& login;
};

// The launcher's start-up.
namespace Global {
void Main(LauncherGlobals& globals, const StartupServices& services);
void OpenMasterDatabase(LauncherGlobals& globals, const StartupServices& services);
void UpgradeMasterSchema(LauncherGlobals& globals, const QString& appFolder);
// "2.17": major and revision; the minor number is not part of it.
QString VersionText(const AppInfo& app);
// What the start-up says when the folder's master is still a Jet database of the Windows version.
QString WindowsFolderMessage(const QString& appFolder);
} // namespace Global

#pragma once

struct AppInfo;
class IFatalError;
class IFolderPicker;
class IMessageBox;
class IModalHost;
class IProgramStarter;
class ISettingsStore;
class IFileOperation;

// The desktop services the launcher's windows use, built by main() (or by a test, with doubles).
struct LauncherServices
{
    const AppInfo& app;
    ISettingsStore& settings;
    IMessageBox& messages;
    IFatalError& fatal;
    IModalHost& modal;
    IProgramStarter& starter;
    IFolderPicker& folders;
    IFileOperation& files;
};

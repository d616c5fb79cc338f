#pragma once

struct AppInfo;
class IFatalError;
class IFolderPicker;
class IMessageBox;
class IModalHost;
class IProgramStarter;
class ISettingsStore;
class IFileOperation;

// The desktop services a program's windows use: built once by main() (QtDesktopServices) or by a test
// (with the scripted doubles), and passed to every window.
struct DesktopServices
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

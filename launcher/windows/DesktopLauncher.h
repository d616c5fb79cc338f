#pragma once

#include "launcher/core/LauncherGlobals.h"
#include "launcher/windows/LauncherServices.h"
#include "launcher/windows/LauncherWindows.h"
#include "launcher/windows/LoginWindowHost.h"
#include "platform/AppInfo.h"
#include "platform/ExecModalHost.h"
#include "platform/LockFileInstanceGuard.h"
#include "platform/PosixProgramStarter.h"
#include "platform/QtFatalError.h"
#include "platform/QtMessageBox.h"
#include "platform/QtPickers.h"
#include "platform/QtSettingsStore.h"
#include "platform/fileop/QtFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"

// The launcher with the desktop's real services, as the program runs it: the services, the globals and
// the windows, owned together for the whole run.
class DesktopLauncher
{
public:
    explicit DesktopLauncher(const AppInfo& info);
    DesktopLauncher(const DesktopLauncher&) = delete;
    DesktopLauncher& operator=(const DesktopLauncher&) = delete;

    IFatalError& fatal() { return m_fatal; }
    ISettingsStore& settings() { return m_settings; }

    // The start-up: refuses a second copy, opens the master database and shows the login window.
    void start();
    // Whether the start-up left the login window open (it does not for a refused second copy).
    bool loginShown() const;

private:
    AppInfo m_info;
    QtMessageBox m_messages;
    QtFatalError m_fatal;
    QtSettingsStore m_settings;
    LockFileInstanceGuard m_instances;
    ExecModalHost m_modal;
    PosixProgramStarter m_starter;
    QtFolderPicker m_folders;
    QtFileOperationUi m_fileUi;
    ShellFileOperation m_files;
    LauncherGlobals m_globals;
    LauncherServices m_services;
    LauncherWindows m_windows;
    LoginWindowHost m_login;
};

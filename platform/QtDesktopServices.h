#pragma once

#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/ExecModalHost.h"
#include "platform/LockFileInstanceGuard.h"
#include "platform/PosixProgramStarter.h"
#include "platform/QtFatalError.h"
#include "platform/QtMessageBox.h"
#include "platform/QtPickers.h"
#include "platform/QtScreen.h"
#include "platform/QtSettingsStore.h"
#include "platform/fileop/QtFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"

#include <memory>

// The desktop's real services, as a program's main() builds them once: message boxes and the fatal error
// report titled with the product name, the product's settings, its single-instance lock, the program
// starter, the pickers, the screen's pointer, the event pump and the shell file operation. They live as
// long as this object; a program passes on the ones its windows use.
class QtDesktopServices
{
public:
    explicit QtDesktopServices(const AppInfo& info);
    QtDesktopServices(const QtDesktopServices&) = delete;
    QtDesktopServices& operator=(const QtDesktopServices&) = delete;

    const DesktopServices& services() const { return m_services; }
    const AppInfo& info() const { return m_info; }
    IFatalError& fatal() { return m_fatal; }
    ISettingsStore& settings() { return m_settings; }
    IMessageBox& messages() { return m_messages; }
    IFolderPicker& folders() { return m_folders; }
    IFileOpenDialog& fileOpen() { return m_fileOpen; }
    IFileOperation& files() { return m_files; }
    IFileOperationUi& fileUi() { return m_fileUi; }
    IScreenPointer& screen() { return m_screen; }
    IEventPump& events() { return m_events; }
    // The product's single-instance lock, taken when it is first asked for: a program that never asks
    // leaves no lock file behind.
    IInstanceGuard& instances();

private:
    AppInfo m_info;
    QtMessageBox m_messages;
    QtFatalError m_fatal;
    QtSettingsStore m_settings;
    std::unique_ptr<LockFileInstanceGuard> m_instances;
    ExecModalHost m_modal;
    PosixProgramStarter m_starter;
    QtFolderPicker m_folders;
    QtFileOpenDialog m_fileOpen;
    QtScreenPointer m_screen;
    QtEventPump m_events;
    QtFileOperationUi m_fileUi;
    ShellFileOperation m_files;
    DesktopServices m_services;
};

#pragma once

#include <QDateTime>
#include <functional>

struct AppInfo;
class IEventPump;
class IFatalError;
class IFileOpenDialog;
class IFileOperation;
class IFileOperationUi;
class IFolderPicker;
class IMessageBox;
class IScreenPointer;

// The desktop services the maintenance window and its operations use, built by main() (or by a test,
// with doubles). The clock gives the local time that names each backup folder.
struct MaintenanceServices
{
    const AppInfo& app;
    IMessageBox& messages;
    IFatalError& fatal;
    IScreenPointer& screen;
    IEventPump& events;
    IFolderPicker& folders;
    IFileOpenDialog& fileOpen;
    IFileOperation& files;
    IFileOperationUi& fileUi; // the file operation's windows: the backup's progress window
    std::function<QDateTime()> clock = [] {
        return QDateTime::currentDateTime();
    };
};

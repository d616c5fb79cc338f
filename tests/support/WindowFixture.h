#pragma once

#include "launcher/core/LauncherGlobals.h"
#include "launcher/windows/ILauncherWindows.h"
#include "launcher/windows/frmChooseCompany.h"
#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/doubles/MemorySettingsStore.h"
#include "platform/doubles/RecordingFatalError.h"
#include "platform/doubles/RecordingProgramStarter.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/doubles/ScriptedModalHost.h"
#include "platform/doubles/ScriptedPickers.h"
#include "platform/fileop/FileOperation.h"
#include "platform/fileop/ShellFileOperation.h"
#include "shared/AppFolder.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Stands in for the windows the login window and the chooser open, and records which were asked for.
class FakeLauncherWindows : public ILauncherWindows
{
public:
    void ShowChooseCompany() override
    {
        ++chooserShown;
        if (onChooser)
            onChooser();
    }
    void ShowLanMain() override { ++lanMainShown; }
    void ShowLanConnection() override { ++lanConnectionShown; }

    std::function<void()> onChooser;
    int chooserShown = 0;
    int lanMainShown = 0;
    int lanConnectionShown = 0;
};

// An application folder made by the folder maker, the launcher's globals as the start-up leaves them
// (master open, data folder read) and every service replaced by its scripted double.
class WindowFixture : public ::testing::Test
{
protected:
    WindowFixture()
    {
        root = dir.path();
        app.folder = root;
        app.productName = QStringLiteral("companydesk");
        app.fileName = QStringLiteral("companydesk");
        app.major = 2;
        app.revision = 17;
        files.setChunkSize(64 * 1024);
    }

    // Lays the folder out at root (the temporary folder, or a folder below it set by useFolder).
    void makeFolder(int companies, bool legacy = false)
    {
        AppFolderMaker::make(root, {legacy, companies});
        globals.MasterConnection.close();
        globals.MasterConnection.setCursorLocation(Ado::UseClient);
        globals.MasterConnection.open(AppFolder::MasterDataLinkReference(root));
        globals.ServerPath = root;
        globals.DatabasePath = root;
        globals.AppVersion = QStringLiteral("2.17");
    }

    // The chooser as the login window opens it, shown.
    std::unique_ptr<frmChooseCompany> openChooser()
    {
        auto chooser = std::make_unique<frmChooseCompany>(globals, services, windows);
        chooser->show();
        return chooser;
    }
    // A statement on the open master connection, to arrange what a test needs.
    void sql(const QString& statement) { globals.MasterConnection.execute(statement); }

    void useFolder(const QString& name)
    {
        root = dir.filePath(name);
        app.folder = root;
    }
    QString path(const QString& relative) const { return root + QLatin1Char('/') + relative; }

    QTemporaryDir dir;
    QString root;
    AppInfo app;
    LauncherGlobals globals;
    MemorySettingsStore settings;
    ScriptedMessageBox messages;
    RecordingFatalError fatal;
    ScriptedModalHost modal;
    RecordingProgramStarter starter;
    ScriptedFolderPicker folders;
    ScriptedFileOperationUi fileUi;
    ShellFileOperation files{fileUi};
    DesktopServices services{app, settings, messages, fatal, modal, starter, folders, files};
    FakeLauncherWindows windows;
};

#pragma once

#include "engine/Connection.h"
#include "launcher/core/LauncherGlobals.h"
#include "platform/doubles/MemorySettingsStore.h"
#include "shared/AppFolder.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// An application folder laid out by the folder maker, with the master connection open on it.
class MasterFixture : public ::testing::Test
{
protected:
    void makeFolder(AppFolderMaker::Options options = {}) { AppFolderMaker::make(dir.path(), options); }
    void openMaster()
    {
        globals.MasterConnection.setCursorLocation(Ado::UseClient);
        globals.MasterConnection.open(AppFolder::MasterDataLinkReference(dir.path()));
    }
    // A second connection of its own, to look at the file as another program would.
    void sql(const QString& statement)
    {
        Connection other;
        other.open(AppFolder::JetConnectionString(dir.filePath(AppFolder::MasterDatabaseName)));
        other.execute(statement);
        other.close();
    }

    QTemporaryDir dir;
    LauncherGlobals globals;
    MemorySettingsStore settings;
};

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "shared/AppFolder.h"
#include "tests/support/ProgramRun.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString secondProgram()
{
    QString dir = qEnvironmentVariable("COMPANYDESK_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    return joinPath({dir, QStringLiteral("secondprogram")});
}

// A program built from one folder on the core libraries opens a database through the engine and shows
// what it found through the desktop services' message box.
TEST(SecondProgram, OpensTheMasterThroughTheEngineAndShowsItsCompaniesInAMessageBox)
{
    QTemporaryDir folder;
    AppFolderMaker::Options options;
    options.companies = 3;
    AppFolderMaker::make(folder.path(), options);

    const ProgramRun run = runProgram(secondProgram(), {folder.path()});
    ASSERT_TRUE(run.started) << secondProgram().toStdString();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitStatus, QProcess::NormalExit);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(run.out), QStringLiteral("BOX|secondprogram|3 companies in %1\n")
                                              .arg(joinPath({folder.path(), AppFolder::MasterDatabaseName})));
}

TEST(SecondProgram, AFolderWithoutAMasterIsToldInTheBox)
{
    QTemporaryDir folder;
    const ProgramRun run = runProgram(secondProgram(), {folder.path()});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(QString::fromUtf8(run.out),
              QStringLiteral("BOX|secondprogram|Error %1: The data-link file %2 does not exist.\n")
                  .arg(ErrorNumber::Unspecified)
                  .arg(joinPath({folder.path(), AppFolder::MasterDataLinkName})));
}

} // namespace

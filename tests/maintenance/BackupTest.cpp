#include "maintenance/TabControl.h"
#include "maintenance/frmMain.h"
#include "shared/AppFolder.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Unprivileged.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <sys/stat.h>

using namespace MaintenanceTest;

namespace {

class Backup : public MaintenanceFixture
{
protected:
    std::unique_ptr<frmMain> openWindow()
    {
        auto window = std::make_unique<frmMain>(services);
        window->show();
        return window;
    }
};

TEST_F(Backup, TheDefaultBackupCopiesTheMasterAndTheCompanyFolderIntoATimeStampedFolder)
{
    const auto source = snapshot(appFolder);
    auto window = openWindow();
    messages.queueAnswer(MsgResult::Yes);
    QTest::mouseClick(window->CmdBackup, Qt::LeftButton);

    EXPECT_EQ(told(messages), (QStringList{backupQuestion(), backupDone()}));
    EXPECT_EQ(screen.changes(), (QList<bool>{true, false}));
    EXPECT_EQ(fileUi.progressWindowsShown(), 0); // overwrite checked: silent
    const QString backup = appFolder + QStringLiteral("/Backup/DB-20240131235958");
    EXPECT_EQ(snapshot(backup), dataOf(appFolder));
    EXPECT_EQ(dataOf(backup).size(), 9); // master, folder, template, three companies in their folders
    QStringList added = differences(source, snapshot(appFolder));
    added.removeIf([](const QString& entry) { return entry.startsWith(QStringLiteral("added Backup/")); });
    EXPECT_EQ(added, QStringList{});
    EXPECT_EQ(Fixtures::sqlcipherShell(backup + QStringLiteral("/MCLarkspur.mdb"),
                                       QStringLiteral("select count(*) from Company;"),
                                       AppFolder::CommonPassword),
              QStringLiteral("3"));
    EXPECT_FALSE(fatal.ended());
}

TEST_F(Backup, ABackupToAChosenFolderRestoresIntoAFreshFolderFileForFile)
{
    const QString chosen = path(QStringLiteral("Saved Backups"));
    const QString fresh = path(QStringLiteral("บริษัท O'Neil ใหม่"));
    QDir().mkpath(chosen);
    QDir().mkpath(fresh);
    auto window = openWindow();
    now = QDateTime(QDate(2024, 2, 1), QTime(8, 0, 0));
    folders.queueAnswer(chosen);
    QTest::mouseClick(window->cmdDistination, Qt::LeftButton);
    EXPECT_EQ(window->txtBackupTo->text(), chosen + QStringLiteral("/DB-20240201080000"));
    messages.queueAnswer(MsgResult::Yes);
    QTest::mouseClick(window->CmdBackup, Qt::LeftButton);

    window->SSTab1->setCurrentIndex(1);
    folders.queueAnswer(chosen + QStringLiteral("/DB-20240201080000"));
    QTest::mouseClick(window->CmdSelectBackupFile, Qt::LeftButton);
    folders.queueAnswer(fresh);
    QTest::mouseClick(window->CmdRestoreTo, Qt::LeftButton);
    EXPECT_EQ(window->txtBackupfile->text(), chosen + QStringLiteral("/DB-20240201080000/"));
    EXPECT_EQ(window->txtRestoreTo->text(), fresh + QStringLiteral("/"));
    ASSERT_TRUE(window->CmdRestore->isEnabled());
    messages.queueAnswer(MsgResult::Yes);
    QTest::mouseClick(window->CmdRestore, Qt::LeftButton);

    EXPECT_EQ(told(messages),
              (QStringList{backupQuestion(), backupDone(), restoreQuestion(), restoreDone()}));
    EXPECT_EQ(snapshot(fresh), dataOf(appFolder));
    EXPECT_EQ(Fixtures::sqlcipherShell(fresh + QStringLiteral("/MCLarkspur.mdb"),
                                       QStringLiteral("select count(*) from Company;"),
                                       AppFolder::CommonPassword),
              QStringLiteral("3"));
    EXPECT_TRUE(fileUi.errors().isEmpty());
}

TEST_F(Backup, AnsweringNoChangesNothing)
{
    auto window = openWindow();
    window->txtBackupfile->setText(appFolder + QStringLiteral("/"));
    window->txtRestoreTo->setText(path(QStringLiteral("elsewhere/")));
    const auto before = snapshot(root);
    messages.queueAnswer(MsgResult::No);
    QTest::mouseClick(window->CmdBackup, Qt::LeftButton);
    messages.queueAnswer(MsgResult::No);
    QTest::mouseClick(window->CmdRestore, Qt::LeftButton);

    EXPECT_EQ(told(messages), (QStringList{backupQuestion(), restoreQuestion()}));
    EXPECT_EQ(screen.changes(), (QList<bool>{true, false}));
    EXPECT_EQ(differences(before, snapshot(root)), QStringList{});
}

TEST_F(Backup, BadInputGetsAClearErrorAndLosesNothing)
{
    const QString thaiApp = path(QStringLiteral("บริษัท O'Neil & Co"));
    AppFolderMaker::make(thaiApp, {false, 2});
    writeFile(path(QStringLiteral("noMaster/CompanyData/1/1.mdb")), "one");
    writeFile(path(QStringLiteral("noCompanies/MCLarkspur.mdb")), "master");
    writeFile(path(QStringLiteral("aFile")), "in the way");
    struct Case
    {
        const char* what;
        QString source;
        QString target;
        QStringList told;        // the message boxes
        QString errorBox;        // the start of the file operation's error box; empty: none
        QStringList targetHolds; // what the target folder holds afterwards (snapshot keys); {"-"}: no folder
    };
    const QString master = QStringLiteral("MCLarkspur.mdb");
    const Case cases[] = {
        {"an empty target",
         appFolder,
         "",
         {backupQuestion(), "0||Empty string passed.", backupFailed()},
         "",
         {"-"}},
        {"no master database",
         path("noMaster"),
         path("t1"),
         {backupQuestion(), backupFailed()},
         "Cannot find \"" + path("noMaster/MCLarkspur.mdb") + "\"",
         {}},
        {"no company folder",
         path("noCompanies"),
         path("t2/"),
         {backupQuestion(), backupFailed()},
         "Cannot find \"" + path("noCompanies/CompanyData") + "\"",
         {master}},
        {"a target inside the company folder",
         appFolder,
         appFolder + "/CompanyData/Backup/DB-1/",
         {backupQuestion(),
          "0||The backup folder \"" + appFolder + "/CompanyData/Backup/DB-1/\" lies inside \"" + appFolder +
              "/CompanyData\", the folder it copies. Choose a backup folder outside it.",
          backupFailed()},
         "",
         {"-"}},
        {"a target inside the company folder, written in another case",
         appFolder,
         appFolder + "/companydata/x",
         {backupQuestion(),
          "0||The backup folder \"" + appFolder + "/companydata/x\" lies inside \"" + appFolder +
              "/CompanyData\", the folder it copies. Choose a backup folder outside it.",
          backupFailed()},
         "",
         {"-"}},
        {"a file where the target folder should be",
         appFolder,
         path("aFile"),
         {backupQuestion(),
          "0||Cannot create the backup folder \"" + path("aFile") + "\": a file of that name is in the way.",
          backupFailed()},
         "",
         {"-"}},
        {"a file where a folder above the target should be",
         appFolder,
         path("aFile/Backup/DB-1"),
         {backupQuestion(),
          "0||Cannot create the backup folder \"" + path("aFile/Backup/DB-1") +
              "\": a file stands where a folder should be (\"" + path("aFile") + "\").",
          backupFailed()},
         "",
         {"-"}},
        {"Thai letters, blanks and apostrophes",
         thaiApp,
         path("สำรอง ข้อมูล's/DB 1"),
         {backupQuestion(), backupDone()},
         "",
         dataOf(thaiApp).keys()},
        {"a source with a trailing separator",
         appFolder + "/",
         path("t3"),
         {backupQuestion(), backupDone()},
         "",
         dataOf(appFolder).keys()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.clear();
        messages.queueAnswer(MsgResult::Yes);
        const int errorsBefore = int(fileUi.errors().size());
        const auto appBefore = snapshot(appFolder);
        const auto aFile = Fixtures::readAll(path("aFile"));

        BackupRestore::Backup(actions(), c.source, c.target, true);

        EXPECT_EQ(told(messages), c.told);
        EXPECT_FALSE(screen.busy());
        if (c.errorBox.isEmpty()) {
            EXPECT_EQ(fileUi.errors().size(), errorsBefore);
        } else {
            ASSERT_EQ(fileUi.errors().size(), errorsBefore + 1);
            EXPECT_TRUE(fileUi.errors().last().startsWith(c.errorBox))
                << fileUi.errors().last().toStdString();
        }
        if (c.targetHolds == QStringList{"-"}) {
            if (!c.target.isEmpty() && c.target != path("aFile")) {
                EXPECT_FALSE(QFileInfo::exists(c.target));
            }
        } else {
            EXPECT_EQ(snapshot(c.target).keys(), c.targetHolds);
        }
        EXPECT_EQ(differences(appBefore, snapshot(appFolder)), QStringList{});
        EXPECT_EQ(Fixtures::readAll(path("aFile")), aFile);
    }
    EXPECT_EQ(snapshot(path("สำรอง ข้อมูล's/DB 1")), dataOf(thaiApp));
}

TEST_F(Backup, WithoutOverwriteEachReplacementIsAskedAndACancelFails)
{
    const QString target = path(QStringLiteral("again"));
    ASSERT_TRUE(BackupRestore::BackupDatabase(files, appFolder, target, 532).ok);
    struct Case
    {
        const char* what;
        std::function<void()> answer;
        QStringList told;
        int questions;
    };
    const Case cases[] = {
        // The master database and the company folder are two copies: each asks its own first question.
        {"yes to all",
         [&] {
             fileUi.queueReplace(ReplaceAnswer::YesToAll);
             fileUi.queueReplace(ReplaceAnswer::YesToAll);
         },
         {backupQuestion(), backupDone()},
         2},
        {"no to each",
         [&] {
             for (int i = 0; i < 5; ++i)
                 fileUi.queueReplace(ReplaceAnswer::No);
         },
         {backupQuestion(), backupDone()},
         5},
        {"cancel at the first question",
         [&] { fileUi.queueReplace(ReplaceAnswer::Cancel); },
         {backupQuestion(), backupFailed()},
         1},
        {"cancel in the progress window",
         [&] {
             fileUi.queueReplace(ReplaceAnswer::YesToAll);
             fileUi.cancelAfterUpdates(int(fileUi.updates().size()) + 2);
         },
         {backupQuestion(), backupFailed()},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.clear();
        messages.queueAnswer(MsgResult::Yes);
        const int questionsBefore = int(fileUi.questions().size());
        c.answer();
        BackupRestore::Backup(actions(), appFolder, target, false);
        EXPECT_EQ(told(messages), c.told);
        EXPECT_EQ(fileUi.questions().size() - questionsBefore, c.questions);
        EXPECT_EQ(fileUi.pendingAnswers(), 0);
        EXPECT_EQ(leftovers(target), QStringList{});
        EXPECT_EQ(snapshot(target), dataOf(appFolder));
    }
    EXPECT_GT(fileUi.progressWindowsShown(), 0);
}

TEST_F(Backup, AFullDiskFailsTheBackupWithoutAPartialFile)
{
    writeFile(appFolder + QStringLiteral("/CompanyData/9/9.mdb"), randomBytes(1024 * 1024));
    const QString target = path(QStringLiteral("full"));
    const QStringList lines = toldInChild(
        Child::FullDisk,
        [&](const BackupRestore::ActionServices& child) {
            BackupRestore::Backup(child, appFolder, target, true);
        },
        256 * 1024);

    ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines.mid(0, 2), (QStringList{backupQuestion(), backupFailed()}));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("error box|Cannot copy \"") + appFolder +
                                    QStringLiteral("/CompanyData/9/9.mdb\"")))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("there is not enough space on the disk.")))
        << lines[2].toStdString();
    // Whatever was written before the disk filled is whole; the file that did not fit is not there at all.
    const auto copied = snapshot(target);
    const auto source = dataOf(appFolder);
    EXPECT_FALSE(copied.contains(QStringLiteral("CompanyData/9/9.mdb")));
    for (auto it = copied.cbegin(); it != copied.cend(); ++it)
        EXPECT_EQ(it.value(), source.value(it.key())) << it.key().toStdString();
    EXPECT_EQ(leftovers(target), QStringList{});
}

TEST_F(Backup, ATargetTheUserMayNotWriteFailsTheBackup)
{
    const QString locked = path(QStringLiteral("locked"));
    QDir().mkpath(locked);
    ::chmod(QFile::encodeName(locked).constData(), 0755); // root's: others may look, not write
    Unprivileged::makeReachable(appFolder + QStringLiteral("/CompanyData/1"));
    struct Case
    {
        const char* what;
        QString target;
        QStringList told;
        QString errorBox; // start of the copy's error box; empty: none
    };
    const Case cases[] = {
        {"a backup folder it cannot make",
         locked + "/DB-1",
         {backupQuestion(), "0||Cannot create the backup folder \"" + locked + "/DB-1\": Permission denied.",
          backupFailed()},
         ""},
        {"a backup folder it cannot write",
         locked,
         {backupQuestion(), backupFailed()},
         "error box|Cannot copy \"" + appFolder + "/MCLarkspur.mdb\" to \""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QStringList lines =
            toldInChild(Child::Unprivileged, [&](const BackupRestore::ActionServices& child) {
                BackupRestore::Backup(child, appFolder, c.target, true);
            });
        ASSERT_EQ(lines.size(), c.told.size() + (c.errorBox.isEmpty() ? 0 : 1))
            << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(lines.mid(0, c.told.size()), c.told);
        if (!c.errorBox.isEmpty()) {
            EXPECT_TRUE(lines.last().startsWith(c.errorBox)) << lines.last().toStdString();
            EXPECT_TRUE(lines.last().endsWith(QStringLiteral("access is denied.")))
                << lines.last().toStdString();
        }
        EXPECT_EQ(snapshot(locked).keys(), QStringList{});
    }
}

TEST_F(Backup, ABackupWhileTheAccountingApplicationRunsCompletes)
{
    RunningLarkspur larkspur(appFolder, appFolder + QStringLiteral("/CompanyData/3/3.mdb"),
                             path(QStringLiteral("record.txt")));
    ASSERT_TRUE(larkspur.holds(appFolder + QStringLiteral("/CompanyData/3/3.mdb"))) << larkspur.report();
    messages.queueAnswer(MsgResult::Yes);
    EXPECT_EQ(BackupRestore::Backup(actions(), appFolder, path(QStringLiteral("while running")), true),
              BackupRestore::Outcome::Completed);
    EXPECT_EQ(snapshot(path(QStringLiteral("while running"))), dataOf(appFolder));
}

} // namespace

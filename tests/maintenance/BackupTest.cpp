#include "base/UniqueFd.h"
#include "maintenance/TabControl.h"
#include "maintenance/frmMain.h"
#include "shared/AppFolder.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/DiskSnapshot.h"
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
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

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
    // Overwrite checked or not, the copy shows its progress window with its Cancel button.
    EXPECT_EQ(fileUi.progressWindowsShown(), 1);
    EXPECT_FALSE(fileUi.progressOpen());
    EXPECT_EQ(leftovers(appFolder + QStringLiteral("/Backup")), QStringList{});
    EXPECT_TRUE(QFileInfo(appFolder + QStringLiteral("/Backup/DB-20240131235958.sha256")).isFile());
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

// Only the company folder itself and what lies below it are refused: a folder beside it whose name
// merely begins the same way is an ordinary backup target.
TEST_F(Backup, AFolderBesideTheCompanyFolderWithALongerNameIsAValidTarget)
{
    for (const char* name : {"CompanyDataOld/DB-1", "CompanyData2", "CompanyData.bak/x", "CompanyData /y"}) {
        SCOPED_TRACE(name);
        messages.clear();
        messages.queueAnswer(MsgResult::Yes);
        const QString target = appFolder + QLatin1Char('/') + QString::fromUtf8(name);

        EXPECT_EQ(BackupRestore::Backup(actions(), appFolder, target, true),
                  BackupRestore::Outcome::Completed);

        EXPECT_EQ(told(messages), (QStringList{backupQuestion(), backupDone()}));
        EXPECT_EQ(snapshot(target), dataOf(appFolder));
    }
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
    QDir().mkpath(path(QStringLiteral("noCompanies")));
    QFile::copy(appFolder + QStringLiteral("/MCLarkspur.mdb"),
                path(QStringLiteral("noCompanies/MCLarkspur.mdb")));
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
         {backupQuestion(),
          "0||'" + path("noMaster/MCLarkspur.mdb") + "' is missing: '" + path("noMaster") +
              "' is not an application folder.",
          backupFailed()},
         "",
         {"-"}},
        // An application folder without companies yet is backed up as it is.
        {"no company folder",
         path("noCompanies"),
         path("t2/"),
         {backupQuestion(), backupDone()},
         "",
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

// A backup replaces a whole folder: one that holds a backup is replaced with overwrite or after a
// question, an empty one without a question, and one that holds anything else never.
TEST_F(Backup, AnExistingBackupFolderIsReplacedOnlyWhenItHoldsABackupAndTheUserAgrees)
{
    const QString target = path(QStringLiteral("again/DB-1"));
    const QString asked = QStringLiteral("36|Question|The backup folder \"") + target +
                          QStringLiteral("\" holds a backup already. Do you want to replace it ? ");
    const QString otherFiles = QStringLiteral("0||The backup folder \"") + target +
                               QStringLiteral("\" holds other files than a backup. Choose a new folder for "
                                              "the backup.");
    const QByteArray oldMaster = "an older backup's master";
    struct Case
    {
        const char* what;
        QString extraFile; // besides an older backup's master; empty: none
        bool overwrite;
        QList<int> answers; // after the first question
        QStringList told;
        bool replaced;
    };
    const Case cases[] = {
        {"overwrite", "", true, {}, {backupQuestion(), backupDone()}, true},
        {"asked, yes", "", false, {MsgResult::Yes}, {backupQuestion(), asked, backupDone()}, true},
        {"asked, no", "", false, {MsgResult::No}, {backupQuestion(), asked, backupFailed()}, false},
        {"other files, overwrite",
         "notes.txt",
         true,
         {},
         {backupQuestion(), otherFiles, backupFailed()},
         false},
        {"other files",
         "Backup/DB-0/MCLarkspur.mdb",
         false,
         {},
         {backupQuestion(), otherFiles, backupFailed()},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(path(QStringLiteral("again"))).removeRecursively();
        writeFile(target + QStringLiteral("/MCLarkspur.mdb"), oldMaster);
        if (!c.extraFile.isEmpty())
            writeFile(target + QLatin1Char('/') + c.extraFile, "kept");
        const auto before = snapshot(target);
        messages.clear();
        messages.queueAnswer(MsgResult::Yes);
        for (const int answer : c.answers)
            messages.queueAnswer(answer);

        EXPECT_EQ(BackupRestore::Backup(actions(), appFolder, target, c.overwrite),
                  c.replaced ? BackupRestore::Outcome::Completed : BackupRestore::Outcome::Failed);

        EXPECT_EQ(told(messages), c.told);
        EXPECT_FALSE(screen.busy());
        EXPECT_EQ(snapshot(target), c.replaced ? dataOf(appFolder) : before);
        EXPECT_EQ(QFileInfo::exists(target + QStringLiteral(".sha256")), c.replaced);
        EXPECT_EQ(leftovers(path(QStringLiteral("again"))), QStringList{});
    }
    // An empty folder holds nothing to lose: it takes the backup without a question.
    QDir(path(QStringLiteral("again"))).removeRecursively();
    QDir().mkpath(target);
    messages.clear();
    messages.queueAnswer(MsgResult::Yes);
    EXPECT_EQ(BackupRestore::Backup(actions(), appFolder, target, false), BackupRestore::Outcome::Completed);
    EXPECT_EQ(told(messages), (QStringList{backupQuestion(), backupDone()}));
    EXPECT_EQ(snapshot(target), dataOf(appFolder));
}

// A backup that does not end whole leaves nothing that looks like a backup: no DB- folder, no hidden
// folder beside it, no manifest; the source is as it was.
TEST_F(Backup, ACancelOrAFullDiskLeavesNoFolderAndTheSourceUntouched)
{
    writeFile(appFolder + QStringLiteral("/CompanyData/9/9.mdb"), randomBytes(3 * 1024 * 1024));
    const auto source = snapshot(appFolder);
    const QString parent = path(QStringLiteral("stopped"));
    const QString target = parent + QStringLiteral("/DB-20240131235958");

    messages.queueAnswer(MsgResult::Yes);
    fileUi.cancelAfterUpdates(3);
    EXPECT_EQ(BackupRestore::Backup(actions(), appFolder, target, false), BackupRestore::Outcome::Failed);
    EXPECT_EQ(told(messages), (QStringList{backupQuestion(), backupFailed()}));
    EXPECT_EQ(fileUi.progressWindowsShown(), 1);
    EXPECT_FALSE(fileUi.progressOpen());
    EXPECT_EQ(QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});

    const QStringList lines = toldInChild(
        Child::FullDisk,
        [&](const BackupRestore::ActionServices& child) {
            BackupRestore::Backup(child, appFolder, target, true);
        },
        1024 * 1024);
    ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines[0], backupQuestion());
    EXPECT_EQ(lines[1], QStringLiteral("0||'") + target +
                            QStringLiteral("/CompanyData/9/9.mdb' could not be written: the disk is full "
                                           "(File too large)."));
    EXPECT_EQ(lines[2], backupFailed());
    EXPECT_EQ(QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});
    EXPECT_EQ(differences(source, snapshot(appFolder)), QStringList{});
}

TEST_F(Backup, ATargetTheUserMayNotWriteFailsTheBackup)
{
    const QString locked = path(QStringLiteral("locked"));
    QDir().mkpath(locked);
    ::chmod(QFile::encodeName(locked).constData(), 0755); // root's: others may look, not write
    Unprivileged::makeReachable(appFolder + QStringLiteral("/CompanyData/1"));
    for (const QString& target : {locked + "/DB-1", locked + "/DB-1/", locked + "/Backup/DB-1"}) {
        SCOPED_TRACE(target.toStdString());
        const QStringList lines =
            toldInChild(Child::Unprivileged, [&](const BackupRestore::ActionServices& child) {
                BackupRestore::Backup(child, appFolder, target, true);
            });
        EXPECT_EQ(lines,
                  (QStringList{backupQuestion(),
                               "0||Cannot create the backup folder \"" + target + "\": Permission denied.",
                               backupFailed()}));
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

// Files that a copy, a restore or an add killed part-way left beside the books are not part of them.
TEST_F(Backup, LeftoversOfKilledCopiesAreNotCopied)
{
    const QStringList planted = {QStringLiteral("CompanyData/1/.1.mdb.Ab3dE9"),
                                 QStringLiteral("CompanyData/.Larkspur.mdb.restoring"),
                                 QStringLiteral("CompanyData/2/.2.mdb.zzzzzz")};
    for (const QString& leftover : planted)
        writeFile(appFolder + QLatin1Char('/') + leftover, "half a copy");
    const QString target = path(QStringLiteral("clean/DB-1"));
    messages.queueAnswer(MsgResult::Yes);

    EXPECT_EQ(BackupRestore::Backup(actions(), appFolder, target, true), BackupRestore::Outcome::Completed);

    auto expected = dataOf(appFolder);
    for (const QString& leftover : planted)
        EXPECT_EQ(expected.remove(leftover), 1) << leftover.toStdString();
    EXPECT_EQ(snapshot(target), expected);
    EXPECT_EQ(leftovers(target), QStringList{});
}

// Links below the company folder are never followed (one to "/" would copy the whole disk, one to a
// folder above would go round in a circle); they, pipes and sockets are named in a warning and passed by,
// and everything else is backed up.
TEST_F(Backup, LinksPipesAndSocketsArePassedByWithAWarningAndTheRestIsBackedUp)
{
    const QString companies = appFolder + QStringLiteral("/CompanyData");
    const QStringList links = {companies + "/1/root", companies + "/1/up", companies + "/2/self",
                               companies + "/3/broken", companies + "/3/copy.mdb"};
    ASSERT_TRUE(QFile::link(QStringLiteral("/"), links[0]));
    ASSERT_TRUE(QFile::link(QStringLiteral(".."), links[1]));
    ASSERT_TRUE(QFile::link(QStringLiteral("."), links[2]));
    ASSERT_TRUE(QFile::link(companies + QStringLiteral("/nowhere"), links[3]));
    ASSERT_TRUE(QFile::link(companies + QStringLiteral("/1/1.mdb"), links[4]));
    const QString pipe = companies + QStringLiteral("/2/pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString socketPath = companies + QStringLiteral("/3/socket");
    const UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketName = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(socketName.size()), sizeof address.sun_path);
    std::copy(socketName.cbegin(), socketName.cend(), address.sun_path);
    ASSERT_EQ(::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const auto sourceBefore = DiskSnapshot::take(appFolder);
    const QString target = path(QStringLiteral("odd/DB-1"));
    messages.queueAnswer(MsgResult::Yes);

    EXPECT_EQ(BackupRestore::Backup(actions(), appFolder, target, true), BackupRestore::Outcome::Completed);

    const QStringList lines = told(messages);
    ASSERT_EQ(lines.size(), 3) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines[0], backupQuestion());
    EXPECT_EQ(lines[2], backupDone());
    QStringList warned = lines[1].split(QLatin1Char('\n'));
    ASSERT_EQ(warned.takeFirst(), QStringLiteral("48|Warning|Not backed up:"));
    ASSERT_EQ(warned.size(), links.size() + 2) << lines[1].toStdString();
    for (const QString& link : links)
        EXPECT_EQ(warned.filter(QStringLiteral("'%1' is a link (to '").arg(link)).size(), 1)
            << link.toStdString();
    for (const QString& special : {pipe, socketPath})
        EXPECT_EQ(warned.filter(QStringLiteral("'%1' is not a file or a folder").arg(special)).size(), 1)
            << special.toStdString();
    EXPECT_TRUE(DiskSnapshot::take(appFolder) == sourceBefore)
        << DiskSnapshot::differences(sourceBefore, DiskSnapshot::take(appFolder)).toStdString();
    for (const QString& special : links + QStringList{pipe, socketPath})
        ASSERT_TRUE(QFile::remove(special)) << special.toStdString();
    EXPECT_EQ(snapshot(target), dataOf(appFolder));
    EXPECT_EQ(Fixtures::sqlcipherShell(target + QStringLiteral("/CompanyData/1/1.mdb"),
                                       QStringLiteral("pragma integrity_check;"), AppFolder::CommonPassword),
              QStringLiteral("ok"));
}

} // namespace

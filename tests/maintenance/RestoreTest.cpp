#include "launcher/core/DataLinks.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Unprivileged.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace MaintenanceTest;

namespace {

const QString FieldsMissing =
    QStringLiteral("48|Error|Choose \"Backup file\" And \"Restore To\"  before Restore Database !!!");

// A backup of the fixture's application folder ("backups/DB-1") and another application folder ("other")
// whose databases differ from it, as after a day's work since the backup.
class Restore : public MaintenanceFixture
{
protected:
    void SetUp() override
    {
        backup = path(QStringLiteral("backups/DB-1"));
        makeBackup(backup);
        other = path(QStringLiteral("other"));
        AppFolderMaker::make(other, {false, 3});
        ASSERT_NE(snapshot(other).value(QStringLiteral("MCLarkspur.mdb")),
                  snapshot(backup).value(QStringLiteral("MCLarkspur.mdb")));
    }
    QStringList restore(const QString& from, const QString& to, bool overwrite)
    {
        messages.clear();
        messages.queueAnswer(MsgResult::Yes);
        BackupRestore::Restore(actions(), from, to, overwrite);
        return told(messages);
    }
    QString company(const QString& folder, int id) const
    {
        return folder + QStringLiteral("/CompanyData/%1/%1.mdb").arg(id);
    }

    QString backup;
    QString other;
};

TEST_F(Restore, WithOverwriteEveryDatabaseIsReplacedWithoutAQuestionAndStaleJournalsGo)
{
    writeFile(company(other, 1) + QStringLiteral("-journal"), "a journal of the replaced database");
    const auto before = snapshot(other);
    EXPECT_EQ(restore(backup + QStringLiteral("/"), other + QStringLiteral("/"), true),
              (QStringList{restoreQuestion(), restoreDone()}));
    EXPECT_TRUE(fileUi.questions().isEmpty());
    EXPECT_EQ(fileUi.progressWindowsShown(), 1); // not silent: a long restore can be cancelled
    EXPECT_EQ(dataOf(other), snapshot(backup));
    EXPECT_FALSE(QFileInfo::exists(company(other, 1) + QStringLiteral("-journal")));
    // What the backup does not hold stays as it was.
    EXPECT_EQ(snapshot(other).value(QStringLiteral("MCdatalink.udl")),
              before.value(QStringLiteral("MCdatalink.udl")));
    EXPECT_FALSE(screen.busy());
    EXPECT_TRUE(screen.changes().isEmpty()); // no hourglass during a restore
}

TEST_F(Restore, WithoutOverwriteEachExistingDatabaseIsAskedFor)
{
    const auto before = snapshot(other);
    const auto saved = snapshot(backup);
    // In the order the copy meets them: the company folder's entries by name, then the master.
    const QStringList asked = {"CompanyData/1/1.mdb", "CompanyData/2/2.mdb", "CompanyData/3/3.mdb",
                               "CompanyData/Larkspur.mdb", "MCLarkspur.mdb"};
    const QList<ReplaceAnswer> answers = {ReplaceAnswer::Yes, ReplaceAnswer::No, ReplaceAnswer::Yes,
                                          ReplaceAnswer::No, ReplaceAnswer::Yes};
    for (ReplaceAnswer answer : answers)
        fileUi.queueReplace(answer);

    EXPECT_EQ(restore(backup + QStringLiteral("/"), other + QStringLiteral("/"), false),
              (QStringList{restoreQuestion(), restoreDone()}));

    ASSERT_EQ(fileUi.questions().size(), asked.size());
    const auto after = snapshot(other);
    for (int i = 0; i < asked.size(); ++i) {
        SCOPED_TRACE(asked[i].toStdString());
        EXPECT_EQ(fileUi.questions()[i].path, other + QLatin1Char('/') + asked[i]);
        const bool replaced = answers[i] == ReplaceAnswer::Yes;
        EXPECT_EQ(after.value(asked[i]), replaced ? saved.value(asked[i]) : before.value(asked[i]));
    }
    EXPECT_GT(fileUi.progressWindowsShown(), 0);
}

TEST_F(Restore, BadInputGetsAClearErrorAndChangesNothing)
{
    struct Case
    {
        const char* what;
        QString from;
        QString to;
        QStringList told;
        QString errorBox; // the start of the copy's error box; empty: none
    };
    const Case cases[] = {
        {"no backup folder", "", other + "/", {restoreQuestion(), FieldsMissing}, ""},
        {"no restore folder", backup + "/", "", {restoreQuestion(), FieldsMissing}, ""},
        {"neither", "", "", {restoreQuestion(), FieldsMissing}, ""},
        {"a backup folder that does not exist",
         path("backups/DB-2/"),
         other + "/",
         {restoreQuestion()},
         "Cannot find \"" + path("backups/DB-2") + "\""},
        {"into the backup folder itself", backup + "/", backup + "/", {restoreQuestion()}, "Cannot copy "},
        {"into a folder inside the backup",
         backup + "/",
         backup + "/CompanyData/1/",
         {restoreQuestion()},
         "Cannot copy the folder \"" + backup + "/CompanyData\" into itself."},
    };
    const auto all = snapshot(root);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int errorsBefore = int(fileUi.errors().size());
        EXPECT_EQ(restore(c.from, c.to, true), c.told);
        if (c.errorBox.isEmpty()) {
            EXPECT_EQ(fileUi.errors().size(), errorsBefore);
        } else {
            ASSERT_EQ(fileUi.errors().size(), errorsBefore + 1);
            EXPECT_TRUE(fileUi.errors().last().startsWith(c.errorBox))
                << fileUi.errors().last().toStdString();
        }
        EXPECT_EQ(differences(all, snapshot(root)), QStringList{});
    }
}

// Only a backup is restored: a folder that holds neither the master nor the company folder, and a text
// whose pattern finds nothing, are refused before a byte is written; a backup folder typed without its
// trailing separator is the folder it names.
TEST_F(Restore, OnlyABackupIsRestoredAndAFolderTypedWithoutItsSeparatorIsThatFolder)
{
    writeFile(path(QStringLiteral("home/notes.txt")), "not a backup");
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("empty"))));
    const auto notBackup = [](const QString& typed) {
        return QStringLiteral(
                   "48|Error|\"%1\" is not a backup: it holds neither MCLarkspur.mdb nor CompanyData. "
                   "Nothing was restored.")
            .arg(typed);
    };
    struct Case
    {
        QString from;
        QString told;
    };
    const Case cases[] = {
        {path(QStringLiteral("empty/")), notBackup(path(QStringLiteral("empty/")))},
        {path(QStringLiteral("empty")), notBackup(path(QStringLiteral("empty")))},
        {path(QStringLiteral("home/")), notBackup(path(QStringLiteral("home/")))},
        {QStringLiteral("/"), notBackup(QStringLiteral("/"))},
        {path(QStringLiteral("backups/DB-9")),
         QStringLiteral("48|Error|No backup was found at \"%1\". Nothing was restored.")
             .arg(path(QStringLiteral("backups/DB-9")))},
    };
    const auto all = snapshot(root);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from.toStdString());
        EXPECT_EQ(restore(c.from, other + QStringLiteral("/"), true),
                  (QStringList{restoreQuestion(), c.told}));
        EXPECT_TRUE(fileUi.errors().isEmpty());
        EXPECT_EQ(differences(all, snapshot(root)), QStringList{});
    }

    EXPECT_EQ(restore(backup, other + QStringLiteral("/"), true),
              (QStringList{restoreQuestion(), restoreDone()}));
    EXPECT_EQ(dataOf(other), snapshot(backup));
}

TEST_F(Restore, IntoANewFolderWithThaiBlanksAndApostrophesMakesIt)
{
    const QString fresh = path(QStringLiteral("ร้าน O'Neil & ลูก/ข้อมูล ใหม่"));
    EXPECT_EQ(restore(backup + QStringLiteral("/"), fresh + QStringLiteral("/"), true),
              (QStringList{restoreQuestion(), restoreDone()}));
    EXPECT_EQ(snapshot(fresh), snapshot(backup));
}

TEST_F(Restore, AFolderTheUserMayNotWriteIsLeftAsItWas)
{
    ::chmod(QFile::encodeName(other).constData(), 0755);
    Unprivileged::makeReachable(backup + QStringLiteral("/CompanyData/1"));
    Unprivileged::makeReachable(other + QStringLiteral("/CompanyData/1"));
    const auto before = snapshot(other);
    const QStringList lines =
        toldInChild(Child::Unprivileged, [&](const BackupRestore::ActionServices& child) {
            BackupRestore::Restore(child, backup + QStringLiteral("/"), other + QStringLiteral("/"), true);
        });
    ASSERT_EQ(lines.size(), 2) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines[0], restoreQuestion());
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("error box|Cannot copy \""))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("access is denied."))) << lines[1].toStdString();
    EXPECT_EQ(differences(before, snapshot(other)), QStringList{});
}

TEST_F(Restore, AFullDiskLeavesTheOldDatabaseWhole)
{
    // A company that grew since: its restored file no longer fits.
    writeFile(company(backup, 2), QByteArray(1024 * 1024, 'n'));
    const auto before = snapshot(other);
    const QStringList lines = toldInChild(
        Child::FullDisk,
        [&](const BackupRestore::ActionServices& child) {
            BackupRestore::Restore(child, backup + QStringLiteral("/"), other + QStringLiteral("/"), true);
        },
        256 * 1024);
    ASSERT_EQ(lines.size(), 2) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines[0], restoreQuestion());
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("error box|Cannot copy \"") + company(backup, 2)))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("there is not enough space on the disk.")))
        << lines[1].toStdString();
    // 1.mdb came first and was restored whole; 2.mdb is the old file; nothing half-written is anywhere.
    const auto after = snapshot(other);
    EXPECT_EQ(after.value(QStringLiteral("CompanyData/1/1.mdb")),
              snapshot(backup).value(QStringLiteral("CompanyData/1/1.mdb")));
    EXPECT_EQ(after.value(QStringLiteral("CompanyData/2/2.mdb")),
              before.value(QStringLiteral("CompanyData/2/2.mdb")));
    EXPECT_EQ(after.keys(), before.keys());
}

TEST_F(Restore, ADatabaseTheAccountingApplicationHoldsOpenIsNotReplaced)
{
    RunningLarkspur larkspur(other, company(other, 2), path(QStringLiteral("record.txt")));
    ASSERT_TRUE(larkspur.holds(company(other, 2))) << larkspur.report();
    const QByteArray held = Fixtures::readAll(company(other, 2));
    const auto before = snapshot(other);

    EXPECT_EQ(restore(backup + QStringLiteral("/"), other + QStringLiteral("/"), true),
              QStringList{restoreQuestion()});
    // Every file is checked before the first is written: the master and the companies before the held
    // one are not replaced either, so the books are never half the backup's and half today's.
    EXPECT_EQ(differences(before, snapshot(other)), QStringList{});

    ASSERT_EQ(fileUi.errors().size(), 1);
    EXPECT_EQ(fileUi.errors()[0],
              QStringLiteral("Cannot replace \"%1\": the file is in use by another program. "
                             "Close it there and try again.")
                  .arg(company(other, 2)));
    EXPECT_EQ(Fixtures::readAll(company(other, 2)), held);
    EXPECT_TRUE(larkspur.holds(company(other, 2)));
    EXPECT_EQ(leftovers(other), QStringList{});
}

// A restore killed part-way leaves the copy's hidden partial files; the next restore removes them, but
// never one a running copy is still writing (it holds a lock on it).
TEST_F(Restore, TheNextRestoreRemovesWhatAKilledOneLeftBehind)
{
    const QString stale = other + QStringLiteral("/CompanyData/1/.1.mdb.Qw3Er5");
    const QString beingWritten = other + QStringLiteral("/CompanyData/1/.1.mdb.Ty7Ui9");
    const QString unrelated = other + QStringLiteral("/CompanyData/1/.notes.txt.Op1As2");
    for (const QString& file : {stale, beingWritten, unrelated})
        writeFile(file, "half a copy");
    const int writer = ::open(QFile::encodeName(beingWritten).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(restore(backup + QStringLiteral("/"), other + QStringLiteral("/"), true),
              (QStringList{restoreQuestion(), restoreDone()}));
    ::close(writer);

    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(beingWritten));
    EXPECT_TRUE(QFileInfo::exists(unrelated)); // no copy of that name was made
    EXPECT_EQ(dataOf(other).value(QStringLiteral("CompanyData/1/1.mdb")),
              snapshot(backup).value(QStringLiteral("CompanyData/1/1.mdb")));
}

} // namespace

#include "base/AppError.h"
#include "maintenance/backup/Manifest.h"
#include "shared/AppFolder.h"
#include "tests/backup/BackupFixture.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fixtures.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/Unprivileged.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <sys/stat.h>

namespace {

class BackupCommand : public BackupFixture
{
protected:
    // The backup folders in parent, by name.
    QStringList backupsIn(const QString& parent) const
    {
        return QDir(parent).entryList({QStringLiteral("DB-*")}, QDir::Dirs | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
};

TEST_F(BackupCommand, MakesAVerifiedBackupWithAManifestBesideItThatSha256sumAccepts)
{
    const auto before = dataOf(appFolder);
    const ProgramRun run = vaultkeep({QStringLiteral("backup"), appFolder});
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString parent = appFolder + QStringLiteral("/Backup");
    const QStringList made = backupsIn(parent);
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^DB-[0-9]{14}$")).match(made[0]).hasMatch())
        << made[0].toStdString();
    const QString backup = parent + QLatin1Char('/') + made[0];
    EXPECT_EQ(FolderContents::take(backup), before);
    EXPECT_EQ(dataOf(appFolder), before);
    // Not a terminal: no progress, one summary line fit for a log.
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^backup %1: 5 files, [0-9]+ bytes, [0-9.]+ s, verified\n$")
                                       .arg(QRegularExpression::escape(backup)))
                    .match(QString::fromUtf8(run.out))
                    .hasMatch())
        << run.out.toStdString();

    // The manifest is beside the folder, never inside it, and the system's own tool checks the backup.
    EXPECT_TRUE(QFileInfo(backup + QStringLiteral(".sha256")).isFile());
    QProcess check;
    check.setWorkingDirectory(parent);
    check.start(QStringLiteral("sha256sum"), {QStringLiteral("-c"), made[0] + QStringLiteral(".sha256")});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
    EXPECT_EQ(check.readAllStandardOutput().count("OK\n"), 5);
    EXPECT_EQ(hiddenBelow(parent), QStringList{});
    EXPECT_EQ(Fixtures::sqlcipherShell(backup + QStringLiteral("/MCLarkspur.mdb"),
                                       QStringLiteral("select count(*) from Company;"),
                                       AppFolder::CommonPassword),
              QStringLiteral("3"));
}

// On a terminal the backup shows a progress line (bytes, rate, time left) and clears it before its summary.
TEST_F(BackupCommand, OnATerminalAProgressLineIsShown)
{
    QString bin = qEnvironmentVariable("COMPANYDESK_BIN_DIR");
    if (bin.isEmpty())
        bin = QCoreApplication::applicationDirPath();
    const QString target = path(QStringLiteral("on a terminal"));
    // script(1) gives the program a terminal for its output streams.
    const QString command = QStringLiteral("'%1/vaultkeep' backup '%2' '%3'").arg(bin, appFolder, target);
    const ProgramRun run =
        runProgram(QStringLiteral("script"), {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    const QString shown = QString::fromUtf8(run.out);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(\r\x1b\[K[0-9.]+ of [0-9.]+ MiB)")).match(shown).hasMatch())
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("\r\x1b[Kbackup ") + target)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral(", verified"))) << shown.toStdString();
}

TEST_F(BackupCommand, ATargetFolderReceivesTheBackupAndOverwriteReplacesOneOfTheSameName)
{
    const QString target = path(QStringLiteral("บันทึก O'Neil/nightly"));
    ASSERT_EQ(vaultkeep({QStringLiteral("backup"), appFolder, target}).exitCode, 0);
    const QStringList made = backupsIn(target);
    ASSERT_EQ(made.size(), 1);

    // The same name again (the routine is given it): refused without --overwrite, replaced with it.
    const QString backup = target + QLatin1Char('/') + made[0];
    const auto first = FolderContents::take(backup);
    try {
        backupInto(target, made[0]);
        ADD_FAILURE() << "a second backup of the same name was made";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("exists already")))
            << error.description().toStdString();
    }
    EXPECT_EQ(FolderContents::take(backup), first);
    Fixtures::writeAll(appFolder + QStringLiteral("/CompanyData/notes.txt"), "changed since");
    NoBackupProgress quiet;
    BackupMaker::make({appFolder, backup, true, 0, AppFolder::CommonPassword}, quiet);
    EXPECT_EQ(FolderContents::take(backup), dataOf(appFolder));
    EXPECT_EQ(backupsIn(target), made);
    EXPECT_EQ(hiddenBelow(target), QStringList{});
}

// Two backups started in the same second into the same folder: one is made, the other refused, and the
// one made is whole.
TEST_F(BackupCommand, TwoBackupsOfTheSameSecondMakeOneAndRefuseTheOther)
{
    const QString target = path(QStringLiteral("same second"));
    // The routine's name comes from the caller: both runs are given the same one, as two processes
    // started in the same second would be.
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
        children.push_back(ChildProcess::start([&]() -> int {
            try {
                backupInto(target, QStringLiteral("DB-20240131235958"));
                return 0;
            } catch (const AppError& error) {
                return error.description().contains(QStringLiteral("exists already")) ? 10 : 11;
            }
        }));
    }
    QList<int> statuses;
    for (const pid_t child : children)
        statuses.append(ChildProcess::wait(child));
    std::sort(statuses.begin(), statuses.end());
    EXPECT_EQ(statuses, (QList<int>{0, 10}));
    EXPECT_EQ(backupsIn(target), QStringList{QStringLiteral("DB-20240131235958")});
    EXPECT_EQ(FolderContents::take(target + QStringLiteral("/DB-20240131235958")), dataOf(appFolder));
    EXPECT_EQ(hiddenBelow(target), QStringList{});
    EXPECT_EQ(vaultkeep({QStringLiteral("verify"), target + QStringLiteral("/DB-20240131235958")}).exitCode,
              0);
}

TEST_F(BackupCommand, BadInputFailsWithExitCodeOneNamingTheFileAndWritesNothing)
{
    const QString bare = path(QStringLiteral("bare"));
    QDir().mkpath(bare + QStringLiteral("/CompanyData/1"));
    struct Case
    {
        const char* what;
        QStringList arguments;
        QString said;
    };
    const QList<Case> cases{
        {"no master",
         {QStringLiteral("backup"), bare},
         QStringLiteral(
             "vaultkeep backup: '%1/MCLarkspur.mdb' is missing: '%1' is not an application folder.\n")
             .arg(bare)},
        {"no folder",
         {QStringLiteral("backup"), path(QStringLiteral("missing"))},
         QStringLiteral("vaultkeep backup: '%1' is not a folder.\n").arg(path(QStringLiteral("missing")))},
        {"inside the company folder",
         {QStringLiteral("backup"), appFolder, appFolder + QStringLiteral("/CompanyData/1/old")},
         QStringLiteral("vaultkeep backup: The backup folder '%1/CompanyData/1/old/DB-").arg(appFolder)},
    };
    const auto before = FolderContents::take(root);
    for (const Case& c : cases) {
        const ProgramRun run = vaultkeep(c.arguments);
        ASSERT_TRUE(run.finished) << c.what;
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_TRUE(QString::fromUtf8(run.err).startsWith(c.said)) << c.what << ": " << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << c.what;
        EXPECT_TRUE(run.out.isEmpty()) << c.what;
    }
    EXPECT_EQ(FolderContents::differences(before, FolderContents::take(root)), QStringList{});
}

TEST_F(BackupCommand, ATargetTheUserMayNotWriteFailsAndLeavesNothing)
{
    const QString locked = path(QStringLiteral("locked"));
    QDir().mkpath(locked);
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    Unprivileged::makeReachable(appFolder + QStringLiteral("/CompanyData/1"));
    for (const QString& folder : {appFolder, appFolder + QStringLiteral("/CompanyData")})
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    const auto before = FolderContents::take(root);
    const QString told =
        outcomeInChild(Child::Unprivileged, [&] { backupInto(locked, QStringLiteral("DB-20240131235958")); });
    EXPECT_TRUE(told.startsWith(QStringLiteral("'%1' could not be written: ").arg(locked)) &&
                told.contains(QStringLiteral("ermission denied")))
        << told.toStdString();
    EXPECT_EQ(FolderContents::differences(before, FolderContents::take(root)), QStringList{});
}

// A disk that fills during the copy: the half-made backup goes, the failure names the file, and nothing
// older is pruned.
TEST_F(BackupCommand, AFullDiskRemovesTheHalfMadeBackupAndPrunesNothing)
{
    const QString target = path(QStringLiteral("full"));
    backupInto(target, QStringLiteral("DB-20200101000000"));
    backupInto(target, QStringLiteral("DB-20210101000000"));
    Fixtures::writeAll(appFolder + QStringLiteral("/CompanyData/big.bin"), QByteArray(256 * 1024, 'x'));
    const auto before = FolderContents::take(root);
    const QString told = outcomeInChild(
        Child::FullDisk, [&] { backupInto(target, QStringLiteral("DB-20240131235958"), 1); }, 128 * 1024);
    EXPECT_TRUE(told.contains(QStringLiteral("/CompanyData/big.bin' could not be written: the disk is full")))
        << told.toStdString();
    EXPECT_EQ(FolderContents::differences(before, FolderContents::take(root)), QStringList{});
    EXPECT_EQ(backupsIn(target),
              (QStringList{QStringLiteral("DB-20200101000000"), QStringLiteral("DB-20210101000000")}));
}

TEST_F(BackupCommand, KeepRemovesOnlyTheOldestBackupFoldersAndTheirManifests)
{
    const QString target = path(QStringLiteral("kept"));
    for (const char* name : {"DB-20200101000000", "DB-20210101000000", "DB-20220101000000"})
        backupInto(target, QString::fromLatin1(name));
    // Things that only look like backups, and one backup that is a link: none of them is touched.
    QDir().mkpath(target + QStringLiteral("/DB-2019"));
    QDir().mkpath(target + QStringLiteral("/DB-20190101000000-old"));
    QDir().mkpath(target + QStringLiteral("/db-20190101000000"));
    Fixtures::writeAll(target + QStringLiteral("/DB-20180101000000"), "a file");
    Fixtures::writeAll(target + QStringLiteral("/notes.txt"), "keep me");
    QDir().mkpath(path(QStringLiteral("elsewhere/DB-20170101000000")));
    QFile::link(path(QStringLiteral("elsewhere/DB-20170101000000")),
                target + QStringLiteral("/DB-20170101000001"));

    const ProgramRun run = vaultkeep(
        {QStringLiteral("backup"), QStringLiteral("--keep"), QStringLiteral("2"), appFolder, target});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith(", 2 older removed\n")) << run.out.toStdString();
    QStringList left = QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    const QStringList newest =
        left.filter(QRegularExpression(QStringLiteral("^DB-20(2[3-9]|[3-9][0-9])[0-9]{10}$")));
    ASSERT_EQ(newest.size(), 1) << left.join(QLatin1Char(' ')).toStdString();
    QStringList expected{QStringLiteral("DB-2019"),
                         QStringLiteral("DB-20170101000001"),
                         QStringLiteral("DB-20180101000000"),
                         QStringLiteral("DB-20190101000000-old"),
                         QStringLiteral("DB-20220101000000"),
                         QStringLiteral("DB-20220101000000.sha256"),
                         QStringLiteral("db-20190101000000"),
                         newest[0],
                         newest[0] + QStringLiteral(".sha256"),
                         QStringLiteral("notes.txt")};
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("elsewhere/DB-20170101000000"))));
}

} // namespace

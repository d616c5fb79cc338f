#include "base/FileLock.h"
#include "shared/AppFolder.h"
#include "tests/backup/BackupFixture.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fixtures.h"
#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <unistd.h>

namespace {

class VerifyRestore : public BackupFixture
{
protected:
    VerifyRestore()
    {
        backupInto(path(QStringLiteral("saved")), QStringLiteral("DB-20240131235958"));
        backup = path(QStringLiteral("saved/DB-20240131235958"));
    }
    QString backup;
};

TEST_F(VerifyRestore, AGoodBackupVerifiesAndRestoresIntoAFreshFolderFileForFile)
{
    const ProgramRun verified = vaultkeep({QStringLiteral("verify"), backup + QLatin1Char('/')});
    EXPECT_EQ(verified.exitCode, 0) << verified.err.toStdString();
    EXPECT_TRUE(verified.out.startsWith("verify " + backup.toUtf8() + ": 5 files, "))
        << verified.out.toStdString();
    EXPECT_TRUE(verified.out.endsWith(" s, verified\n"));

    const QString fresh = path(QStringLiteral("ใหม่ O'Neil/app"));
    const ProgramRun restored = vaultkeep({QStringLiteral("restore"), backup, fresh});
    EXPECT_EQ(restored.exitCode, 0) << restored.err.toStdString();
    EXPECT_EQ(FolderContents::take(fresh), FolderContents::take(backup));
    EXPECT_EQ(hiddenBelow(fresh), QStringList{});
    EXPECT_EQ(Fixtures::sqlcipherShell(fresh + QStringLiteral("/CompanyData/2/2.mdb"),
                                       QStringLiteral("pragma integrity_check;"), AppFolder::CommonPassword),
              QStringLiteral("ok"));
}

TEST_F(VerifyRestore, RestoringOverExistingFilesNeedsOverwriteAndThenReplacesThemAndTheirJournals)
{
    const auto saved = FolderContents::take(backup);
    Fixtures::writeAll(appFolder + QStringLiteral("/CompanyData/1/1.mdb"), "damaged since");
    Fixtures::writeAll(appFolder + QStringLiteral("/CompanyData/1/1.mdb-journal"), "a stale journal");
    const auto before = FolderContents::take(appFolder);
    const ProgramRun refused = vaultkeep({QStringLiteral("restore"), backup, appFolder});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err,
              "vaultkeep restore: '" + appFolder.toUtf8() +
                  "/CompanyData/1/1.mdb' exists already; nothing was restored. Use --overwrite to "
                  "replace it.\n");
    EXPECT_EQ(FolderContents::take(appFolder), before);

    const ProgramRun replaced =
        vaultkeep({QStringLiteral("restore"), QStringLiteral("--overwrite"), backup, appFolder});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err.toStdString();
    EXPECT_EQ(dataOf(appFolder), saved);
    EXPECT_TRUE(QFileInfo::exists(appFolder + QStringLiteral("/MCdatalink.udl")));
}

// A damaged backup is refused by verify and by restore, each naming the file, with the application folder
// left exactly as it was.
TEST_F(VerifyRestore, ADamagedBackupIsRefusedNamingTheFileAndNothingIsRestored)
{
    const QString company = backup + QStringLiteral("/CompanyData/2/2.mdb");
    const QString manifest = backup + QStringLiteral(".sha256");
    struct Case
    {
        const char* what;
        std::function<void()> damage;
        QString said;
    };
    const QList<Case> cases{
        {"one byte flipped",
         [&] {
             QFile file(company);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             file.seek(3000);
             const char byte = file.read(1)[0];
             file.seek(3000);
             file.write(QByteArray(1, char(byte ^ 0x20)));
         },
         QStringLiteral("'%1' does not match its checksum: the file is damaged.").arg(company)},
        {"a file removed", [&] { QFile::remove(company); },
         QStringLiteral("'%1' is missing from the backup.").arg(company)},
        {"a file added", [&] { Fixtures::writeAll(backup + QStringLiteral("/CompanyData/extra.mdb"), "x"); },
         QStringLiteral(
             "'%1/CompanyData/extra.mdb' is not in the checksum list '%2': the backup was changed after "
             "it was made.")
             .arg(backup, manifest)},
        {"the manifest removed", [&] { QFile::remove(manifest); },
         QStringLiteral("'%1' is missing: without its checksum list the backup cannot be checked.")
             .arg(manifest)},
        {"the manifest mangled",
         [&] { Fixtures::writeAll(manifest, "not a checksum  DB-20240131235958/x\n"); },
         QStringLiteral("'%1' is not a checksum list: line 1 cannot be read.").arg(manifest)},
    };
    const auto good = FolderContents::take(path(QStringLiteral("saved")));
    for (const Case& c : cases) {
        c.damage();
        const auto app = FolderContents::take(appFolder);
        const ProgramRun verified = vaultkeep({QStringLiteral("verify"), backup});
        EXPECT_EQ(verified.exitCode, 1) << c.what;
        EXPECT_EQ(QString::fromUtf8(verified.err),
                  QStringLiteral("vaultkeep verify: ") + c.said + QLatin1Char('\n'))
            << c.what;
        for (const QString& into : {appFolder, path(QStringLiteral("fresh"))}) {
            const ProgramRun restored =
                vaultkeep({QStringLiteral("restore"), QStringLiteral("--overwrite"), backup, into});
            EXPECT_EQ(restored.exitCode, 1) << c.what;
            EXPECT_EQ(QString::fromUtf8(restored.err),
                      QStringLiteral("vaultkeep restore: ") + c.said + QLatin1Char('\n'))
                << c.what;
        }
        EXPECT_EQ(FolderContents::take(appFolder), app) << c.what;
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("fresh")))) << c.what;
        // Back to the good backup for the next case.
        QDir(path(QStringLiteral("saved"))).removeRecursively();
        QDir().mkpath(path(QStringLiteral("saved")));
        for (auto it = good.cbegin(); it != good.cend(); ++it) {
            if (it.key().endsWith(QLatin1Char('/')))
                QDir().mkpath(path(QStringLiteral("saved/") + it.key()));
            else
                Fixtures::writeAll(path(QStringLiteral("saved/") + it.key()), it.value());
        }
    }
}

// A database another program has open is never replaced; nothing else is either.
TEST_F(VerifyRestore, ADatabaseOpenInAnotherProgramStopsTheRestoreBeforeAnythingIsWritten)
{
    int release[2];
    int ready[2];
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const QString held = appFolder + QStringLiteral("/CompanyData/3/3.mdb");
    // Holds what an open connection holds: the shared lock of the "in use" rule.
    const pid_t holder = ChildProcess::start([&]() -> int {
        ::close(release[1]);
        FileLock lock;
        if (lock.acquire(held, FileLock::Mode::Shared) != 0)
            return 20;
        char c = 1;
        if (::write(ready[1], &c, 1) != 1)
            return 21;
        return ::read(release[0], &c, 1) >= 0 ? 0 : 22;
    });
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    Fixtures::writeAll(appFolder + QStringLiteral("/CompanyData/1/1.mdb"), "changed since");
    const auto before = FolderContents::take(appFolder);
    const ProgramRun run =
        vaultkeep({QStringLiteral("restore"), QStringLiteral("--overwrite"), backup, appFolder});
    ::close(release[1]);
    EXPECT_EQ(ChildProcess::wait(holder), 0);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "vaultkeep restore: '" + held.toUtf8() +
                  "' is open in another program; close it and restore again. Nothing was restored.\n");
    EXPECT_EQ(FolderContents::take(appFolder), before);
    for (int fd : {release[0], ready[0], ready[1]})
        ::close(fd);
}

} // namespace

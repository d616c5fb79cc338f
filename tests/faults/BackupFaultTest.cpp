#include "base/AppError.h"
#include "maintenance/backup/BackupMaker.h"
#include "maintenance/backup/BackupRestorer.h"
#include "maintenance/backup/BackupVerifier.h"
#include "shared/AppFolder.h"
#include "tests/faults/FaultTable.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

using FaultSeam::Call;
using FaultSeam::Step;

const QString Backup = QStringLiteral("backup/DB-20240131235958");
const QString ManifestFile = Backup + QStringLiteral(".sha256");

bool verifies(const QString& folder)
{
    NoBackupProgress quiet;
    try {
        BackupVerifier::verify(folder, AppFolder::CommonPassword, quiet);
        return true;
    } catch (const AppError&) {
        return false;
    }
}

// An application folder with one company, made once: making its protected databases is the slow part.
QString madeAppFolder()
{
    static QTemporaryDir made;
    static const bool done = [] {
        AppFolderMaker::make(made.path() + QStringLiteral("/app"), {false, 1});
        return true;
    }();
    static_cast<void>(done);
    return made.path() + QStringLiteral("/app");
}

void copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (it.fileInfo().isDir())
            ASSERT_TRUE(QDir().mkpath(target)) << target.toStdString();
        else
            ASSERT_TRUE(QFile::copy(source, target)) << target.toStdString();
    }
}

// A backup of an application folder with one company, every step of its manifest's writer failed in
// turn: the manifest's own file, its rename and the sync of the folder that holds it.
FaultTable::DurableWrite backupManifest()
{
    FaultTable::DurableWrite write;
    write.arrange = [](const QString& folder) {
        copyTree(madeAppFolder(), folder + QStringLiteral("/app"));
        QDir().mkpath(folder + QStringLiteral("/backup"));
    };
    write.faulted = [](const Step& step) {
        const bool manifest =
            step.path.find(".sha256") != std::string::npos || step.from.find(".sha256") != std::string::npos;
        const bool folderSync =
            (step.call == Call::Fsync || step.call == Call::Fdatasync) && step.path.ends_with("/backup");
        return manifest || folderSync;
    };
    write.act = [](const QString& folder) {
        return FaultTable::succeeds([&] {
            NoBackupProgress quiet;
            BackupMaker::make({folder + QStringLiteral("/app"), folder + QLatin1Char('/') + Backup, false, 0,
                               AppFolder::CommonPassword},
                              quiet);
        });
    };
    write.expectDone = [](const QString& folder) {
        EXPECT_TRUE(verifies(folder + QLatin1Char('/') + Backup));
        EXPECT_EQ(
            QDir(folder + QStringLiteral("/backup"))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{QStringLiteral("DB-20240131235958"), QStringLiteral("DB-20240131235958.sha256")}));
    };
    write.expectFailed = [](const QString& folder, const DiskSnapshot::Snapshot& before) {
        const DiskSnapshot::Snapshot after = DiskSnapshot::take(folder);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            EXPECT_TRUE(after.value(it.key()) == it.value()) << "changed: " << it.key().toStdString();
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            EXPECT_TRUE(before.contains(it.key())) << "left behind: " << it.key().toStdString();
        EXPECT_FALSE(QFileInfo::exists(folder + QLatin1Char('/') + ManifestFile));
        EXPECT_FALSE(verifies(folder + QLatin1Char('/') + Backup)) << "what is left passes as a backup";
    };
    return write;
}

TEST(BackupManifestFaults, AFailedStepOfTheManifestLeavesNoBackupThatPassesAndTheBooksAsTheyWere)
{
    FaultTable::failEachStep(backupManifest(), {ENOSPC, EIO, EACCES});
}

// The manifest's text reaches the disk under its temporary name, the name moves, and the folder holding
// the name reaches the disk before the backup is reported made.
TEST(BackupManifestFaults, TheManifestIsSyncedBeforeItsRenameAndItsFolderAfter)
{
    const std::vector<Step> steps = FaultTable::cleanRun(backupManifest());
    const int rename = FaultTable::find(
        steps, [](const Step& s) { return s.call == Call::Rename && s.path.ends_with(".sha256"); });
    ASSERT_GE(rename, 0) << FaultTable::listing(steps);
    const std::string temporary = steps[size_t(rename)].from;
    int lastWrite = -1;
    for (int i = 0; i < rename; ++i) {
        if (steps[size_t(i)].call == Call::Write && steps[size_t(i)].path == temporary)
            lastWrite = i;
    }
    ASSERT_GE(lastWrite, 0) << FaultTable::listing(steps);
    const int synced = FaultTable::find(
        steps,
        [&](const Step& s) {
            return (s.call == Call::Fsync || s.call == Call::Fdatasync) && s.path == temporary;
        },
        lastWrite);
    EXPECT_GE(synced, 0) << "no sync after the last write\n" << FaultTable::listing(steps);
    EXPECT_LT(synced, rename) << FaultTable::listing(steps);
    const int folderSynced = FaultTable::find(
        steps, [](const Step& s) { return s.call == Call::Fsync && s.path.ends_with("/backup"); }, rename);
    EXPECT_GT(folderSynced, rename) << "no sync of the folder after the rename\n"
                                    << FaultTable::listing(steps);
}

// Every copied file reaches the disk after its last write, and so does every folder of the copy, before
// the copy takes the backup's name: a backup with a name is never one a crash could leave cut short.
TEST(BackupManifestFaults, EveryCopyAndFolderIsSyncedBeforeTheBackupTakesItsName)
{
    const std::vector<Step> steps = FaultTable::cleanRun(backupManifest());
    const int named = FaultTable::find(steps, [](const Step& s) {
        return s.call == Call::Rename && s.path.ends_with("/backup/DB-20240131235958");
    });
    ASSERT_GE(named, 0) << FaultTable::listing(steps);
    const std::string staging = steps[size_t(named)].from;
    int files = 0;
    for (int i = 0; i < named; ++i) {
        const Step& made = steps[size_t(i)];
        if (made.call != Call::Create || !made.path.starts_with(staging + "/"))
            continue;
        ++files;
        int lastWrite = i;
        for (int j = i; j < named; ++j) {
            if (steps[size_t(j)].call == Call::Write && steps[size_t(j)].path == made.path)
                lastWrite = j;
        }
        const int synced = FaultTable::find(
            steps,
            [&](const Step& s) {
                return (s.call == Call::Fsync || s.call == Call::Fdatasync) && s.path == made.path;
            },
            lastWrite);
        EXPECT_TRUE(synced >= 0 && synced < named) << made.path << " is not synced after its last write\n"
                                                   << FaultTable::listing(steps);
    }
    EXPECT_GE(files, 3) << FaultTable::listing(steps);
    for (const std::string& folder : {staging, staging + "/CompanyData"}) {
        int lastEntry = -1;
        for (int i = 0; i < named; ++i) {
            const Step& s = steps[size_t(i)];
            if ((s.call == Call::Create || s.call == Call::Mkdir) &&
                s.path.substr(0, s.path.rfind('/')) == folder)
                lastEntry = i;
        }
        const int synced = FaultTable::find(
            steps, [&](const Step& s) { return s.call == Call::Fsync && s.path == folder; }, lastEntry);
        EXPECT_TRUE(synced >= 0 && synced < named) << folder << " is not synced after its last entry\n"
                                                   << FaultTable::listing(steps);
    }
}

// A backup of the application folder above, made once, with its manifest.
QString madeBackup()
{
    static QTemporaryDir made;
    static const bool done = [] {
        NoBackupProgress quiet;
        BackupMaker::make({madeAppFolder(), made.path() + QStringLiteral("/DB-20240131235958"), false, 0,
                           AppFolder::CommonPassword},
                          quiet);
        return true;
    }();
    static_cast<void>(done);
    return made.path();
}

// A backup restored into a new application folder, each rename into place failed in turn: a failure is
// reported, every file in the application folder is a whole file of the backup, no copy is left beside
// its place, and the backup is as it was.
TEST(RestoreFaults, AFailedRenameIsReportedAndLeavesOnlyWholeFiles)
{
    FaultTable::DurableWrite write;
    write.watched = QStringLiteral("app");
    write.arrange = [](const QString& folder) {
        copyTree(madeBackup(), folder + QStringLiteral("/backup"));
    };
    write.faulted = [](const Step& step) {
        return step.call == Call::Rename;
    };
    write.act = [](const QString& folder) {
        return FaultTable::succeeds([&] {
            NoBackupProgress quiet;
            BackupRestorer::restore({folder + QLatin1Char('/') + Backup, folder + QStringLiteral("/app"),
                                     false, AppFolder::CommonPassword},
                                    quiet);
        });
    };
    write.expectDone = [](const QString& folder) {
        const DiskSnapshot::Snapshot restored = DiskSnapshot::take(folder + QStringLiteral("/app"));
        const DiskSnapshot::Snapshot backup = DiskSnapshot::take(folder + QLatin1Char('/') + Backup);
        EXPECT_TRUE(restored == backup) << DiskSnapshot::differences(backup, restored).toStdString();
    };
    write.expectFailed = [](const QString& folder, const DiskSnapshot::Snapshot& before) {
        const DiskSnapshot::Snapshot after = DiskSnapshot::take(folder);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            EXPECT_TRUE(after.value(it.key()) == it.value()) << "changed: " << it.key().toStdString();
        const QString restored = QStringLiteral("app/");
        const QString backup = Backup + QLatin1Char('/');
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            if (!it.key().startsWith(restored) || it.value() == "<folder>")
                continue;
            EXPECT_TRUE(it.value() == before.value(backup + it.key().mid(restored.size())))
                << "not a whole file of the backup: " << it.key().toStdString();
        }
    };
    FaultTable::failEachStep(write, {EIO, ENOSPC});
}

} // namespace

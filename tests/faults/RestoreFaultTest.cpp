#include "base/AppError.h"
#include "maintenance/backup/BackupMaker.h"
#include "maintenance/backup/BackupRestorer.h"
#include "shared/AppFolder.h"
#include "tests/faults/FaultTable.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using FaultSeam::Call;
using FaultSeam::Step;

// A restore over older books: every step of it that fails makes it report failure with the books exactly
// as they were (the staged copies gone, every file it had set aside back in its place), and a restore that
// reports success leaves the backup's books.
TEST(RestoreFaults, ARestoreReportsEveryFailedStepAndLeavesTheOldBooksOrTheNew)
{
    FaultTable::DurableWrite write;
    write.watched = QStringLiteral("app");
    write.arrange = [](const QString& folder) {
        AppFolderMaker::make(folder + QStringLiteral("/source"), {false, 0});
        NoBackupProgress quiet;
        BackupMaker::make({folder + QStringLiteral("/source"), folder + QStringLiteral("/backup/DB-1"), false,
                           0, AppFolder::CommonPassword},
                          quiet);
        AppFolderMaker::make(folder + QStringLiteral("/app"), {false, 0});
        // A journal a cut-short write left beside the older master: set aside with it, and put back.
        QFile journal(folder + QStringLiteral("/app/MCLarkspur.mdb-journal"));
        if (journal.open(QIODevice::WriteOnly))
            journal.write("an older journal");
    };
    write.act = [](const QString& folder) {
        return FaultTable::succeeds([&] {
            NoBackupProgress quiet;
            BackupRestorer::restore({folder + QStringLiteral("/backup/DB-1"), folder + QStringLiteral("/app"),
                                     true, AppFolder::CommonPassword},
                                    quiet);
        });
    };
    write.expectDone = [](const QString& folder) {
        for (const QString& part : {QStringLiteral("/MCLarkspur.mdb"), QStringLiteral("/CompanyData")}) {
            auto restored = DiskSnapshot::take(folder + QStringLiteral("/app") + part);
            // A replaced file set aside stays only when its removal failed (see below).
            restored.removeIf(
                [](const auto& entry) { return entry.key().endsWith(QStringLiteral(".replaced")); });
            const auto backup = DiskSnapshot::take(folder + QStringLiteral("/backup/DB-1") + part);
            EXPECT_TRUE(restored == backup)
                << "differs: " << DiskSnapshot::differences(backup, restored).toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/app/MCLarkspur.mdb-journal")));
        // No staged copy is left. A replaced file set aside stays only when its removal failed (a clean-up
        // the restore rides over): backups pass it by, and the next restore removes it.
        for (const QString& sub : {QStringLiteral("/app"), QStringLiteral("/app/CompanyData")}) {
            const QStringList staged = QDir(folder + sub)
                                           .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                                           .filter(QRegularExpression(QStringLiteral("^\\..*\\.restoring$")));
            EXPECT_EQ(staged, QStringList{});
        }
    };
    // The mode of a staged copy is set after its bytes are in; the folders' syncs after the rename pass
    // come when the old files are gone and nothing can be put back.
    write.mayContinue = [](const Step& step, int) {
        return step.call == Call::Chmod || ((step.call == Call::Fsync || step.call == Call::Syncfs) &&
                                            !step.path.ends_with(".restoring"));
    };
    // Every failed step ends the restore the same way, whatever its errno (a full disk stands for all).
    FaultTable::failEachStep(write, {ENOSPC});
}

} // namespace

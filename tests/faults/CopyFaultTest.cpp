#include "base/AppError.h"
#include "maintenance/BackupRestore.h"
#include "platform/doubles/RecordingScreen.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/fileop/FileOperation.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/faults/FaultTable.h"
#include "tests/support/Fixtures.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

using FaultSeam::Call;
using FaultSeam::Step;

QByteArray bytes(qint64 size, char seed)
{
    QByteArray data(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        data[i] = char(seed + i * 7 + i / 4093);
    return data;
}

void put(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    Fixtures::writeAll(path, data);
}

// The copy as every caller makes it: silent, replacing, making folders. A failure says why.
bool copy(const QString& source, const QString& target)
{
    ScriptedFileOperationUi ui;
    ShellFileOperation files(ui);
    files.setChunkSize(256 * 1024);
    const FileOpResult result =
        files.copy(source, target, Fof::Silent | Fof::NoConfirmation | Fof::NoConfirmMkdir);
    if (!result.ok) {
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(ui.errors().size(), 1);
    }
    return result.ok;
}

// A file copied over an older one: the target is the old file whole or the new one whole.
FaultTable::DurableWrite replaceFile(qint64 size)
{
    FaultTable::DurableWrite write;
    write.arrange = [size](const QString& folder) {
        put(folder + QStringLiteral("/new/books.mdb"), bytes(size, 'n'));
        put(folder + QStringLiteral("/kept/books.mdb"), bytes(size / 2 + 100, 'o'));
    };
    write.act = [](const QString& folder) {
        return copy(folder + QStringLiteral("/new/books.mdb"), folder + QStringLiteral("/kept/books.mdb"));
    };
    write.expectDone = [size](const QString& folder) {
        EXPECT_TRUE(Fixtures::readAll(folder + QStringLiteral("/kept/books.mdb")) == bytes(size, 'n'))
            << "the target is not the new file";
        EXPECT_EQ(QDir(folder + QStringLiteral("/kept")).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("books.mdb")});
    };
    // A failure after the rename (the sync of the folder) is reported too, the new file then in place.
    write.expectFailed = [size](const QString& folder, const DiskSnapshot::Snapshot& before) {
        auto after = DiskSnapshot::take(folder);
        const QByteArray target = after.take(QStringLiteral("kept/books.mdb"));
        auto old = before;
        old.remove(QStringLiteral("kept/books.mdb"));
        EXPECT_TRUE(target == before.value(QStringLiteral("kept/books.mdb")) || target == bytes(size, 'n'))
            << "the target is cut short or mixed";
        EXPECT_TRUE(after == old) << "changed: " << DiskSnapshot::differences(old, after).toStdString();
    };
    // Between two filesystems copy_file_range is not offered; the copier then reads and writes instead.
    write.mayContinue = [](const Step& step, int error) {
        return step.call == Call::CopyRange && step.occurrence == 1 && error == EXDEV;
    };
    return write;
}

TEST(CopyFaults, AFileReplacingAnotherIsWholeOldOrWholeNewWhateverStepFails)
{
    for (const qint64 size : {qint64(96 * 1024), qint64(1536 * 1024)}) {
        SCOPED_TRACE(size);
        FaultTable::failEachStep(replaceFile(size), FaultTable::usualErrors());
    }
}

// The order that makes a copy durable: the data reaches the disk under its temporary name, then the
// name moves, then the folder holding the name reaches the disk before success is reported.
TEST(CopyFaults, TheDataIsSyncedBeforeTheRenameAndTheFolderAfterIt)
{
    for (const qint64 size : {qint64(96 * 1024), qint64(1536 * 1024)}) {
        SCOPED_TRACE(size);
        const std::vector<Step> steps = FaultTable::cleanRun(replaceFile(size));
        const int rename = FaultTable::find(steps, [](const Step& s) {
            return s.call == Call::Rename && s.path.ends_with("/kept/books.mdb");
        });
        ASSERT_GE(rename, 0) << FaultTable::listing(steps);
        const std::string temporary = steps[size_t(rename)].from;
        const int written = FaultTable::find(steps, [&](const Step& s) {
            return (s.call == Call::Write || s.call == Call::CopyRange) && s.path == temporary;
        });
        ASSERT_GE(written, 0) << FaultTable::listing(steps);
        const int synced = FaultTable::find(
            steps,
            [&](const Step& s) {
                return (s.call == Call::Fsync || s.call == Call::Fdatasync) && s.path == temporary;
            },
            written);
        EXPECT_GE(synced, 0) << "no sync of the data\n" << FaultTable::listing(steps);
        EXPECT_LT(synced, rename) << FaultTable::listing(steps);
        const int folderSynced = FaultTable::find(
            steps,
            [](const Step& s) {
                return (s.call == Call::Syncfs || s.call == Call::Fsync) && s.path.ends_with("/kept");
            },
            rename);
        EXPECT_GT(folderSynced, rename) << "no sync after the rename\n" << FaultTable::listing(steps);
    }
}

// The window's backup (the backup library's) copies the master and every company into a hidden folder
// and names it only when whole; a step that fails makes it report failure and leaves no backup folder,
// and the books it copies are never touched.
TEST(CopyFaults, ABackupReportsEveryFailedStepAndLeavesTheBooksAsTheyWere)
{
    FaultTable::DurableWrite write;
    write.arrange = [](const QString& folder) {
        // No company beyond the template: each run checks two databases, and the table stays short.
        AppFolderMaker::make(folder + QStringLiteral("/app"), {false, 0});
        QDir().mkpath(folder + QStringLiteral("/backup"));
    };
    write.act = [](const QString& folder) {
        ScriptedMessageBox messages;
        messages.queueAnswer(MsgResult::Yes);
        RecordingScreenPointer screen;
        ScriptedFileOperationUi ui;
        ShellFileOperation files(ui);
        const BackupRestore::Outcome outcome =
            BackupRestore::Backup({messages, screen, files, ui}, folder + QStringLiteral("/app"),
                                  folder + QStringLiteral("/backup/DB-1"), true);
        if (outcome != BackupRestore::Outcome::Completed) {
            // The reason, then the failure.
            EXPECT_EQ(messages.calls().size(), 3);
        }
        return outcome == BackupRestore::Outcome::Completed;
    };
    write.expectDone = [](const QString& folder) {
        for (const QString& part : {QStringLiteral("/MCLarkspur.mdb"), QStringLiteral("/CompanyData")}) {
            const auto source = DiskSnapshot::take(folder + QStringLiteral("/app") + part);
            const auto copied = DiskSnapshot::take(folder + QStringLiteral("/backup/DB-1") + part);
            EXPECT_TRUE(copied == source)
                << "differs: " << DiskSnapshot::differences(source, copied).toStdString();
        }
        EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/backup/DB-1.sha256")).isFile());
    };
    // The mode of a copy is set after its bytes are in; a backup does not fail when it cannot be. Every
    // file is synced before its descriptor is closed (and a failed close of a writer fails the backup);
    // the copies are read back by the checks on a thread of their own (checksums, SQLite's read-only
    // open), and folders are opened to be synced, so the n-th close of a run is not always the same
    // descriptor: a failed close is ridden over here, and the writers' closes are the code's to check.
    write.mayContinue = [](const Step& step, int) {
        return step.call == Call::Chmod || step.call == Call::Close || FaultTable::engineMayContinue(step);
    };
    // Only the backup's side is written. Every failed step ends the backup the same way, whatever its
    // errno (a full disk stands for all): each run makes and checks real databases, and one error keeps
    // the table within a couple of minutes on a loaded machine.
    write.watched = QStringLiteral("backup");
    FaultTable::failEachStep(write, {ENOSPC});
}

} // namespace

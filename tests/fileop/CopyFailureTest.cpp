#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/fileop/FileOpTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace FileOpTest;

namespace {

// Child exit codes: 0 when the operation failed the expected way.
enum ChildStatus
{
    AsExpected = 0,
    Succeeded = 1,
    WrongFailure = 2,
    NoErrorBox = 3,
    SetupFailed = 4
};

int checkFailure(const FileOpResult& result, const ScriptedFileOperationUi& ui, FileOpFailure expected)
{
    if (result.ok)
        return Succeeded;
    if (result.failure != expected)
        return WrongFailure;
    if (ui.errors() != QStringList{result.error})
        return NoErrorBox;
    return AsExpected;
}

TEST(CopyFailure, CancelHalfWayLeavesNothingHalfWritten)
{
    struct Case
    {
        const char* name;
        qint64 size;
        bool targetExisted;
    };
    const Case cases[] = {
        {"large file, kernel copy, new target", 4 * 1024 * 1024, false},
        {"large file, kernel copy, replacing", 4 * 1024 * 1024, true},
        {"small file, buffered copy", 700 * 1024, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        writeFile(dir.path() + "/src/big.mdb", patternData(c.size, 7));
        if (c.targetExisted)
            writeFile(dir.path() + "/dst/big.mdb", "old");
        QDir().mkpath(dir.path() + "/dst");
        ScriptedFileOperationUi ui;
        ui.cancelAfterUpdates(3); // the file's start, then two chunks
        ShellFileOperation operation(ui);
        operation.setChunkSize(64 * 1024);

        const FileOpResult result = operation.copy(dir.path() + "/src/big.mdb", dir.path() + "/dst",
                                                   Fof::NoConfirmation | Fof::NoConfirmMkdir);

        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.cancelled);
        EXPECT_EQ(result.failure, FileOpFailure::Cancelled);
        EXPECT_EQ(ui.errors(), QStringList{result.error});
        ASSERT_EQ(ui.updates().size(), 3);
        EXPECT_GT(ui.updates().last().done, 0);
        EXPECT_LT(ui.updates().last().done, c.size);
        EXPECT_FALSE(ui.progressOpen());
        EXPECT_EQ(tree(dir.path() + "/dst"), c.targetExisted ? QStringList{"big.mdb"} : QStringList{});
        if (c.targetExisted) {
            EXPECT_EQ(readFile(dir.path() + "/dst/big.mdb"), "old");
        }
    }
}

TEST(CopyFailure, MissingSourceIsReported)
{
    struct Case
    {
        const char* name;
        QString source;
        QString named; // the path the message names
    };
    const Case cases[] = {
        {"file", "src/none.mdb", "src/none.mdb"},
        {"folder of a pattern", "src/NoFolder/*.*", "src/NoFolder"},
        {"folder", "src/NoFolder", "src/NoFolder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QDir().mkpath(dir.path() + "/src");
        QDir().mkpath(dir.path() + "/dst");
        ScriptedFileOperationUi ui;

        const FileOpResult result = ShellFileOperation(ui).copy(dir.path() + "/" + c.source,
                                                                dir.path() + "/dst", Fof::NoConfirmMkdir);

        EXPECT_EQ(checkFailure(result, ui, FileOpFailure::MissingSource), AsExpected);
        EXPECT_TRUE(result.error.contains(dir.path() + "/" + c.named)) << result.error.toStdString();
        EXPECT_EQ(tree(dir.path() + "/dst"), QStringList{});
        EXPECT_EQ(ui.progressWindowsShown(), 0);
    }
}

TEST(CopyFailure, DeniedWriteLeavesTheTargetUnchanged)
{
    struct Case
    {
        const char* name;
        bool targetExisted;
    };
    for (const Case& c : {Case{"replacing a file", true}, Case{"a new file", false}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString source = dir.path() + "/src/MCLarkspur.mdb";
        const QString target = dir.path() + "/locked";
        writeFile(source, "new data");
        QDir().mkpath(target);
        if (c.targetExisted)
            writeFile(target + "/MCLarkspur.mdb", "old data");
        // Owned by root and closed to others: nobody may read the source but write nothing in the target.
        ::chmod(QFile::encodeName(target).constData(), 0755);
        Unprivileged::makeReachable(source);
        Unprivileged::makeReachable(target);

        const int status = Unprivileged::run([&] {
            ScriptedFileOperationUi ui;
            const FileOpResult result = ShellFileOperation(ui).copy(source, target, 532);
            return checkFailure(result, ui, FileOpFailure::AccessDenied);
        });

        EXPECT_EQ(status, AsExpected);
        EXPECT_EQ(tree(target), c.targetExisted ? QStringList{"MCLarkspur.mdb"} : QStringList{});
        if (c.targetExisted) {
            EXPECT_EQ(readFile(target + "/MCLarkspur.mdb"), "old data");
        }
    }
}

TEST(CopyFailure, FullDiskLeavesNoPartialFile)
{
    struct Case
    {
        const char* name;
        qint64 size;
        rlim_t limit;
    };
    const Case cases[] = {
        {"kernel copy", 3 * 1024 * 1024, 1024 * 1024},
        {"buffered copy", 600 * 1024, 256 * 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString source = dir.path() + "/src/Company.mdb";
        writeFile(source, patternData(c.size, 3));
        const QString target = dir.path() + "/dst";
        QDir().mkpath(target);

        const int status = ChildProcess::run([&] {
            // A file may grow only to the limit, as on a disk that is full; the write then fails with EFBIG.
            const rlimit limit{c.limit, c.limit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
                return int(SetupFailed);
            ScriptedFileOperationUi ui;
            ShellFileOperation operation(ui);
            operation.setChunkSize(128 * 1024);
            return checkFailure(operation.copy(source, target, 532), ui, FileOpFailure::DiskFull);
        });

        EXPECT_EQ(status, AsExpected);
        EXPECT_EQ(tree(target), QStringList{});
    }
}

} // namespace

namespace {

// A copy whose target folder is a file says so, rather than that something does not exist, and
// changes nothing.
TEST(CopyFailure, ATargetFolderThatIsAFileIsNamedAsSuch)
{
    for (const QString& below : {QStringLiteral("x.mdb"), QStringLiteral("deeper/x.mdb")}) {
        SCOPED_TRACE(below.toStdString());
        QTemporaryDir dir;
        writeFile(dir.path() + "/src.mdb", "source");
        writeFile(dir.path() + "/3", "a file where a folder belongs");
        ScriptedFileOperationUi ui;
        ShellFileOperation files(ui);
        const FileOpResult result =
            files.copy(dir.path() + "/src.mdb", dir.path() + "/3/" + below, Fof::NoConfirmMkdir);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.failure, FileOpFailure::Invalid);
        EXPECT_EQ(result.error, QStringLiteral("Cannot copy to \"%1\": \"%2\" is a file, not a folder.")
                                    .arg(dir.path() + "/3/" + below, dir.path() + "/3"));
        EXPECT_EQ(ui.errors(), QStringList{result.error});
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  (QStringList{QStringLiteral("3"), QStringLiteral("src.mdb")}));
    }
}

} // namespace

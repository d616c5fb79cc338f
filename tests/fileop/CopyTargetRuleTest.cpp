#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/fileop/FileOpTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace FileOpTest;

namespace {

// Every source file holds its own relative path, so the tests can tell where each copy came from.
const QStringList sourceFiles = {
    QStringLiteral("src/a.txt"),         QStringLiteral("src/Data/one.mdb"),
    QStringLiteral("src/Data/noext"),    QStringLiteral("src/Data/Sub/two.txt"),
    QStringLiteral("src/Data/.hidden"),  QStringLiteral("src/Mixed/X.MDB"),
    QStringLiteral("src/Mixed/y.mdb"),   QStringLiteral("src/Mixed/z.txt"),
    QStringLiteral("src/Mixed/mdb.txt"),
};

class CopyTargetRule : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const QString& file : sourceFiles)
            writeFile(path(file), file.toUtf8());
        QDir().mkpath(path(QStringLiteral("dst/Existing")));
    }
    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }

    QTemporaryDir dir;
    ScriptedFileOperationUi ui;
    ShellFileOperation operation{ui};
};

TEST_F(CopyTargetRule, PlacesEachItemByTheTargetRule)
{
    struct Case
    {
        const char* name;
        QString source;
        QString target;
        // What "dst" holds afterwards besides Existing/: entry -> the source file it is a copy of ("" =
        // folder).
        QList<QPair<QString, QString>> expected;
    };
    const QList<QPair<QString, QString>> dataTree = {{"Sub/", ""},
                                                     {"Sub/two.txt", "src/Data/Sub/two.txt"},
                                                     {"noext", "src/Data/noext"},
                                                     {"one.mdb", "src/Data/one.mdb"},
                                                     {".hidden", "src/Data/.hidden"}};
    auto under = [](const QString& prefix, const QList<QPair<QString, QString>>& entries) {
        QList<QPair<QString, QString>> result{{prefix + "/", ""}};
        for (const auto& [entry, from] : entries)
            result.append({prefix + "/" + entry, from});
        return result;
    };
    const Case cases[] = {
        {"file into an existing folder", "src/a.txt", "dst", {{"a.txt", "src/a.txt"}}},
        {"file under a new name, missing folders made",
         "src/a.txt",
         "dst/new/deeper/b.txt",
         {{"new/", ""}, {"new/deeper/", ""}, {"new/deeper/b.txt", "src/a.txt"}}},
        {"folder into an existing folder", "src/Data", "dst", under("Data", dataTree)},
        {"folder under a new name", "src/Data", "dst/Copy", under("Copy", dataTree)},
        {"every entry into an existing folder", "src/Data/*.*", "dst", dataTree},
        {"every entry into a new folder", "src/Data/*.*", "dst/Restored", under("Restored", dataTree)},
        {"extension pattern in any case",
         "src/Mixed/*.mdb",
         "dst",
         {{"X.MDB", "src/Mixed/X.MDB"}, {"y.mdb", "src/Mixed/y.mdb"}}},
        {"names resolved ignoring case",
         "SRC/data/SUB/TWO.TXT",
         "DST",
         {{"two.txt", "src/Data/Sub/two.txt"}}},
        {"target folder found ignoring case", "src/a.txt", "dst/EXISTING", {{"Existing/a.txt", "src/a.txt"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path("dst")).removeRecursively();
        QDir().mkpath(path("dst/Existing"));

        const FileOpResult result = operation.copy(path(c.source), path(c.target), Fof::NoConfirmMkdir);

        EXPECT_TRUE(result.ok) << result.error.toStdString();
        QStringList expectedTree{QStringLiteral("Existing/")};
        for (const auto& [entry, from] : c.expected) {
            if (!expectedTree.contains(entry))
                expectedTree.append(entry);
            if (!from.isEmpty()) {
                EXPECT_EQ(readFile(path("dst/" + entry)), from.toUtf8()) << entry.toStdString();
            }
        }
        expectedTree.sort();
        EXPECT_EQ(tree(path("dst")), expectedTree);
    }
    EXPECT_TRUE(ui.errors().isEmpty());
    EXPECT_TRUE(ui.questions().isEmpty());
}

TEST_F(CopyTargetRule, ShowsProgressUnlessSilent)
{
    const qint64 total = QByteArray("src/Data/one.mdb").size() + QByteArray("src/Data/noext").size() +
                         QByteArray("src/Data/Sub/two.txt").size() + QByteArray("src/Data/.hidden").size();

    ASSERT_TRUE(operation.copy(path("src/Data"), path("dst"), Fof::NoConfirmMkdir).ok);
    EXPECT_EQ(ui.progressWindowsShown(), 1);
    EXPECT_FALSE(ui.progressOpen());
    ASSERT_FALSE(ui.updates().isEmpty());
    EXPECT_EQ(ui.updates().last().done, total);
    EXPECT_EQ(ui.updates().last().total, total);

    ASSERT_TRUE(operation.copy(path("src/Data"), path("dst/Quiet"), Fof::Silent | Fof::NoConfirmMkdir).ok);
    EXPECT_EQ(ui.progressWindowsShown(), 1);
}

TEST_F(CopyTargetRule, AsksOnceBeforeCreatingMissingFolders)
{
    struct Case
    {
        const char* name;
        int flags;
        bool answer; // only read when a question is expected
        bool asked;
        bool copied;
    };
    const Case cases[] = {
        {"asked, yes", 0, true, true, true},
        {"asked, no", 0, false, true, false},
        {"no-confirm-mkdir", Fof::NoConfirmMkdir, false, false, true},
        {"no-confirmation answers yes", Fof::NoConfirmation, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path("dst/new")).removeRecursively();
        ScriptedFileOperationUi questions;
        ShellFileOperation asking(questions);
        if (c.asked)
            questions.queueCreateFolder(c.answer);

        const FileOpResult result = asking.copy(path("src/Data/*.*"), path("dst/new/Day1"), c.flags);

        EXPECT_EQ(result.ok, c.copied);
        EXPECT_EQ(result.cancelled, !c.copied);
        EXPECT_EQ(QDir(path("dst/new/Day1/Sub")).exists(), c.copied);
        EXPECT_EQ(QDir(path("dst/new")).exists(), c.copied);
        const QList<ScriptedFileOperationUi::Question> expected =
            c.asked ? QList<ScriptedFileOperationUi::Question>{{ScriptedFileOperationUi::Kind::CreateFolder,
                                                                path("dst/new/Day1")}}
                    : QList<ScriptedFileOperationUi::Question>{};
        EXPECT_EQ(questions.questions(), expected);
        EXPECT_TRUE(questions.errors().isEmpty()); // the user's own No needs no error box
    }
}

TEST_F(CopyTargetRule, KeepsModesAndModificationTimes)
{
    const QString data = path("src/Data");
    ::chmod(QFile::encodeName(data + "/one.mdb").constData(), 0640);
    ::chmod(QFile::encodeName(data + "/noext").constData(), 0755);
    ::chmod(QFile::encodeName(data + "/Sub").constData(), 0750);
    setTimes(data + "/one.mdb", 981173106); // 2001-02-03
    setTimes(data + "/noext", 1262304000);  // 2010-01-01
    setTimes(data + "/Sub/two.txt", 1500000000);
    setTimes(data + "/Sub", 1400000000);
    setTimes(data, 1300000000);

    ASSERT_TRUE(operation.copy(data, path("dst/Copy"), Fof::Silent | Fof::NoConfirmMkdir).ok);

    for (const char* entry : {"", "/one.mdb", "/noext", "/Sub", "/Sub/two.txt"}) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(attributesOf(path("dst/Copy") + entry), attributesOf(data + entry));
    }
    EXPECT_EQ(attributesOf(path("dst/Copy/one.mdb")), (Attributes{0640, 981173106}));
}

TEST_F(CopyTargetRule, RefusesImpossibleRequestsBeforeWritingAnything)
{
    struct Case
    {
        const char* name;
        QString source;
        QString target;
    };
    writeFile(path("dst/Data"), "a file where the folder would go");
    const Case cases[] = {
        {"a folder over a file", "src/Data", "dst"},
        {"a file onto itself", "src/a.txt", "src/a.txt"},
        {"a folder into itself", "src/Data", "src/Data/Sub"},
        {"a pattern into a file", "src/Mixed/*.*", "dst/Data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = tree(dir.path());
        ScriptedFileOperationUi errors;
        ShellFileOperation refusing(errors);

        const FileOpResult result = refusing.copy(path(c.source), path(c.target), Fof::NoConfirmation);

        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.failure, FileOpFailure::Invalid);
        EXPECT_EQ(errors.errors(), QStringList{result.error});
        EXPECT_EQ(tree(dir.path()), before);
    }
}

// Bytes a file takes on the disk, holes not counted.
qint64 allocatedBytes(const QString& file)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : -1;
}

QByteArray digestOf(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&in);
    return hash.result();
}

// A sparse file stays sparse: its holes are not written out as zeros, in the small copy and in the kernel's
// copy of a large file, with a hole at the start, in the middle and at the end.
TEST_F(CopyTargetRule, ASparseFileStaysSparse)
{
    constexpr qint64 MiB = 1024 * 1024;
    struct Case
    {
        const char* name;
        qint64 size;
        QList<qint64> dataAt; // one 4 KiB block of data at each offset
    };
    const Case cases[] = {
        {"small, a hole at the end", 512 * 1024, {0}},
        {"large, holes between", 64 * MiB, {0, 32 * MiB, 64 * MiB - 4096}},
        {"large, a hole at the start and the end", 64 * MiB, {40 * MiB}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = path(QStringLiteral("sparse/%1.mdb").arg(c.size));
        QDir().mkpath(path("sparse"));
        QFile::remove(source);
        {
            QFile out(source);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            ASSERT_TRUE(out.resize(c.size));
            for (qint64 at : c.dataAt) {
                ASSERT_TRUE(out.seek(at));
                ASSERT_EQ(out.write(patternData(4096, char(at / MiB))), 4096);
            }
        }
        const qint64 data = 4096 * c.dataAt.size();
        ASSERT_LE(allocatedBytes(source), data + 64 * 1024) << "the filesystem keeps no holes";
        const QString target = path("dst/Sparse.mdb");

        ASSERT_TRUE(operation.copy(source, target, 532).ok);

        EXPECT_EQ(QFileInfo(target).size(), c.size);
        EXPECT_EQ(digestOf(target), digestOf(source));
        EXPECT_LE(allocatedBytes(target), data + 64 * 1024);
    }
}

} // namespace

#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/fileop/FileOpTestSupport.h"
#include "tests/support/SqlcipherShell.h"
#include "tests/support/SqliteHolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace FileOpTest;

namespace {

// Holds a file open with a flock, the way the database engine holds a database it has open.
class HeldFile
{
public:
    HeldFile(const QString& path, int operation)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd < 0 || ::flock(m_fd, operation | LOCK_NB) != 0)
            qFatal("Cannot hold %s", qPrintable(path));
    }
    ~HeldFile() { ::close(m_fd); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    int m_fd;
};

class InUse : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeFile(path("src/Larkspur.mdb"), "new database");
        writeFile(path("dst/Larkspur.mdb"), "open database");
        writeFile(path("dst/CompanyData/Sub/held.mdb"), "open database");
        writeFile(path("dst/CompanyData/other.mdb"), "closed database");
    }
    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }

    QTemporaryDir dir;
    ScriptedFileOperationUi ui;
    ShellFileOperation operation{ui};
};

TEST_F(InUse, AFileHeldOpenIsNeitherReplacedNorRemoved)
{
    struct Case
    {
        const char* name;
        QString held;
        std::function<FileOpResult()> act;
    };
    const Case cases[] = {
        {"replace", "dst/Larkspur.mdb",
         [&] {
             return operation.copy(path("src/Larkspur.mdb"), path("dst"), 532);
         }},
        {"delete", "dst/Larkspur.mdb",
         [&] {
             return operation.remove(path("dst/Larkspur.mdb"), Fof::NoConfirmation);
         }},
        {"delete to the trash", "dst/Larkspur.mdb",
         [&] {
             return operation.remove(path("dst/Larkspur.mdb"), Fof::NoConfirmation | Fof::AllowUndo);
         }},
        {"delete a folder holding it", "dst/CompanyData/Sub/held.mdb",
         [&] {
             return operation.remove(path("dst/CompanyData"), Fof::NoConfirmation);
         }},
    };
    const QStringList before = tree(path("dst"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFileOperationUi fresh;
        std::swap(ui, fresh);
        const HeldFile held(path(c.held), LOCK_SH);

        const FileOpResult result = c.act();

        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.failure, FileOpFailure::InUse);
        EXPECT_TRUE(result.error.contains("in use")) << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(path(c.held))) << result.error.toStdString();
        EXPECT_EQ(ui.errors(), QStringList{result.error});
        EXPECT_EQ(tree(path("dst")), before);
        EXPECT_EQ(readFile(path(c.held)), "open database");
    }
    EXPECT_EQ(tree(QDir::homePath()), QStringList{}); // nothing in a trash beside the home either
}

TEST_F(InUse, ASourceBeingReplacedIsNotCopied)
{
    const HeldFile beingReplaced(path("src/Larkspur.mdb"), LOCK_EX);

    const FileOpResult result = operation.copy(path("src/Larkspur.mdb"), path("dst/Copy.mdb"), 532);

    EXPECT_EQ(result.failure, FileOpFailure::InUse);
    EXPECT_FALSE(QFile::exists(path("dst/Copy.mdb")));
    EXPECT_FALSE(tree(path("dst")).join(',').contains("Copy.mdb"));
}

TEST_F(InUse, AReaderOfTheSourceDoesNotStopTheCopy)
{
    const HeldFile reader(path("src/Larkspur.mdb"), LOCK_SH);

    const FileOpResult result = operation.copy(path("src/Larkspur.mdb"), path("dst/Copy.mdb"), 532);

    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(path("dst/Copy.mdb")), "new database");
}

TEST(Journal, TravelsWithItsDatabase)
{
    struct Case
    {
        const char* name;
        bool sourceJournal;
        bool staleTargetJournal;
        int flags;
        QList<ReplaceAnswer> answers;
        QStringList expectedTree;
        QByteArray expectedJournal; // "<missing>" when there is none
    };
    const Case cases[] = {
        {"journal copied with the file",
         true,
         false,
         532,
         {},
         {"Company.mdb", "Company.mdb-journal"},
         "new journal"},
        {"journal replaces the target's",
         true,
         true,
         532,
         {},
         {"Company.mdb", "Company.mdb-journal"},
         "new journal"},
        {"stale journal of the replaced file removed", false, true, 532, {}, {"Company.mdb"}, "<missing>"},
        {"a file not replaced keeps its journal",
         false,
         true,
         Fof::NoConfirmMkdir,
         {ReplaceAnswer::No},
         {"Company.mdb", "Company.mdb-journal"},
         "stale journal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString src = dir.path() + "/src";
        const QString dst = dir.path() + "/dst";
        writeFile(src + "/Company.mdb", "new database");
        if (c.sourceJournal)
            writeFile(src + "/Company.mdb-journal", "new journal");
        writeFile(dst + "/Company.mdb", "old database");
        if (c.staleTargetJournal)
            writeFile(dst + "/Company.mdb-journal", "stale journal");
        ScriptedFileOperationUi ui;
        for (ReplaceAnswer answer : c.answers)
            ui.queueReplace(answer);

        const FileOpResult result = ShellFileOperation(ui).copy(src + "/*.mdb", dst, c.flags);

        EXPECT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_EQ(tree(dst), c.expectedTree);
        EXPECT_EQ(readFile(dst + "/Company.mdb-journal"), c.expectedJournal);
        EXPECT_EQ(ui.questions().size(),
                  c.answers.size()); // one question covers the database and its journal
    }
}

TEST(Journal, IsCopiedOnceWhenItsFolderIsCopied)
{
    QTemporaryDir dir;
    writeFile(dir.path() + "/CompanyData/A.mdb", "a");
    writeFile(dir.path() + "/CompanyData/A.mdb-journal", "a journal");
    writeFile(dir.path() + "/CompanyData/orphan-journal", "no database of that name");
    ScriptedFileOperationUi ui;

    ASSERT_TRUE(ShellFileOperation(ui).copy(dir.path() + "/CompanyData", dir.path() + "/Backup", 532).ok);

    EXPECT_EQ(tree(dir.path() + "/Backup"), (QStringList{"A.mdb", "A.mdb-journal", "orphan-journal"}));
    EXPECT_EQ(readFile(dir.path() + "/Backup/A.mdb-journal"), "a journal");
}

const QString Key = QStringLiteral("Marigold4817");

// A real book: one table of entries, each a name.
void makeBook(const QString& path, const QStringList& entries)
{
    QString script = QStringLiteral("PRAGMA key='%1';\nCREATE TABLE Entry (Name TEXT);\n").arg(Key);
    for (const QString& entry : entries)
        script += QStringLiteral("INSERT INTO Entry VALUES ('%1');\n").arg(entry);
    const ShellResult made = runSqlcipherShell(path, script);
    if (made.exitCode != 0)
        qFatal("Cannot make %s: %s", qPrintable(path), qPrintable(made.errors));
}

// What an independent reader finds in a book: its integrity check, then every entry.
QString readBook(const QString& path)
{
    const ShellResult read = runSqlcipherShell(
        path,
        QStringLiteral("PRAGMA key='%1';\nPRAGMA integrity_check;\nSELECT Name FROM Entry ORDER BY rowid;\n")
            .arg(Key));
    return read.output + read.errors;
}

// A book replaced by a restore while another SQLite program, which knows nothing of the engine's lock,
// has it open: it is reported in use and left alone, and what that program commits afterwards stays.
TEST(AnotherSqliteProgram, HoldingTheTargetKeepsItFromBeingReplacedAndItsLaterCommitsStay)
{
    struct Case
    {
        const char* name;
        QString opening;
        QString closing;
    };
    const Case cases[] = {
        {"idle", QStringLiteral("SELECT count(*) FROM Entry;"),
         QStringLiteral("INSERT INTO Entry VALUES ('later');")},
        {"in a transaction", QStringLiteral("BEGIN; INSERT INTO Entry VALUES ('later');"),
         QStringLiteral("COMMIT;")},
        {"with a write-ahead log", QStringLiteral("PRAGMA journal_mode=WAL; SELECT count(*) FROM Entry;"),
         QStringLiteral("INSERT INTO Entry VALUES ('later');")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString src = dir.path() + "/src";
        const QString dst = dir.path() + "/dst";
        QDir().mkpath(src);
        QDir().mkpath(dst);
        makeBook(src + "/Company.mdb", {QStringLiteral("backup")});
        makeBook(dst + "/Company.mdb", {QStringLiteral("current")});
        SqliteHolder holder(dst + "/Company.mdb", Key);
        ASSERT_TRUE(holder.run(c.opening)) << holder.errors().toStdString();
        const QByteArray before = readFile(dst + "/Company.mdb");
        const QStringList treeBefore = tree(dst);
        ScriptedFileOperationUi ui;

        const FileOpResult result = ShellFileOperation(ui).copy(src + "/*.mdb", dst, 532);

        EXPECT_EQ(result.failure, FileOpFailure::InUse);
        EXPECT_TRUE(result.error.contains(dst + "/Company.mdb")) << result.error.toStdString();
        EXPECT_EQ(readFile(dst + "/Company.mdb"), before);
        EXPECT_EQ(tree(dst), treeBefore);
        ASSERT_TRUE(holder.run(c.closing)) << holder.errors().toStdString();
        ASSERT_TRUE(holder.finish()) << holder.errors().toStdString();
        EXPECT_EQ(readBook(dst + "/Company.mdb"), QStringLiteral("ok\ncurrent\nlater\n"));
    }
}

// A book left in write-ahead-log mode by a program that was killed: its log and index are of the old
// file, and the restored book opens as the backup's book.
TEST(Journal, TheReplacedBooksLogAndIndexGoAndTheBackupsBookIsWhatOpens)
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/src";
    const QString dst = dir.path() + "/dst";
    QDir().mkpath(src);
    QDir().mkpath(dst);
    makeBook(src + "/Company.mdb", {QStringLiteral("backup")});
    makeBook(dst + "/Company.mdb", {QStringLiteral("current")});
    {
        SqliteHolder writer(dst + "/Company.mdb", Key);
        ASSERT_TRUE(writer.run(
            QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; "
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                           "INSERT INTO Entry SELECT 'logged ' || i FROM n;")))
            << writer.errors().toStdString();
        writer.kill();
    }
    ASSERT_TRUE(QFileInfo(dst + "/Company.mdb-wal").size() > 0);
    ASSERT_TRUE(QFileInfo::exists(dst + "/Company.mdb-shm"));
    ScriptedFileOperationUi ui;

    const FileOpResult result = ShellFileOperation(ui).copy(src + "/*.mdb", dst, 532);

    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(tree(dst), QStringList{"Company.mdb"});
    EXPECT_EQ(readBook(dst + "/Company.mdb"), QStringLiteral("ok\nbackup\n"));
}

} // namespace

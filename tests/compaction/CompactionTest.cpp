#include "base/FileLock.h"
#include "base/PathJoin.h"
#include "engine/Connection.h"
#include "tests/compaction/CompactionTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SqlcipherShell.h"
#include "tests/support/SqliteHolder.h"
#include "tests/support/Unprivileged.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace CompactionTest;
using Call = ScriptedMessageBox::Call;

namespace {

const QString PasswordMessage =
    QStringLiteral("Database Password protected.\r\nPlease enter the Correct Password");

Call completed()
{
    return {QStringLiteral("Compact Database Completed..."), MsgStyle::Information,
            QStringLiteral("Information")};
}

Call warning(const QString& text)
{
    return {text, MsgStyle::Exclamation, QString()};
}

mode_t modeOf(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class Compaction : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(toolDir.isValid());
        data = QFileInfo(dataDir.path()).canonicalFilePath();
        tool = QFileInfo(toolDir.path()).canonicalFilePath();
    }
    QString file(const QString& name) const { return joinPath({data, name}); }
    QString temporal() const { return joinPath({tool, QStringLiteral("Temporal.mdb")}); }

    QTemporaryDir dataDir;
    QTemporaryDir toolDir;
    QString data;
    QString tool;
};

TEST_F(Compaction, ChoosingAFileShowsItsSizeAndCancellingClearsTheBoxAndBothLabels)
{
    const QString books = file(QStringLiteral("Books.mdb"));
    writeAll(books, QByteArray(1536, 'x'));
    Page page(tool);
    page.fileDialog.queueAnswer(books);
    page.lblFinalSize->setText(QStringLiteral("old"));

    ComprimirAccess2000::cmdSelectFile(page.module, page.controls);
    EXPECT_EQ(page.txtCompactFileName->text(), books);
    EXPECT_EQ(page.lblOriginalSize->text(), QStringLiteral("1.50 Kb"));
    EXPECT_EQ(page.lblFinalSize->text(), QString());

    ComprimirAccess2000::cmdSelectFile(page.module, page.controls); // cancelled
    EXPECT_EQ(page.txtCompactFileName->text(), QString());
    EXPECT_EQ(page.lblOriginalSize->text(), QString());
    EXPECT_EQ(page.lblFinalSize->text(), QString());

    ASSERT_EQ(page.fileDialog.calls().size(), 2);
    for (const auto& call : page.fileDialog.calls()) {
        EXPECT_EQ(call.title, QStringLiteral("Select Access DataBase to Optimize (Compact)"));
        EXPECT_EQ(call.filter, QStringLiteral("Access Databases|*.mdb"));
        EXPECT_EQ(call.defaultExtension, QStringLiteral("*.mdb"));
    }
    EXPECT_TRUE(page.messages.calls().isEmpty());
}

TEST_F(Compaction, AnsweringNoEndsWithoutAWordAndTouchesNothing)
{
    const QString books = file(QStringLiteral("Books.mdb"));
    makeBooks(books, Password);
    const QByteArray before = readAll(books);
    Page page(tool);
    page.txtCompactFileName->setText(books);
    page.lblFinalSize->setText(QStringLiteral("unchanged"));
    page.messages.queueAnswer(MsgResult::No);

    ComprimirAccess2000::cmdCompactDatabase(page.module, page.controls);

    EXPECT_EQ(page.messages.calls(), QList<Call>{page.question()});
    EXPECT_EQ(page.lblFinalSize->text(), QStringLiteral("unchanged"));
    EXPECT_TRUE(page.pointer.changes().isEmpty());
    EXPECT_EQ(readAll(books), before);
    EXPECT_FALSE(QFileInfo::exists(temporal()));
}

// Compactions that replace the file: what the user is told, what the labels show and what is on disk.
TEST_F(Compaction, ACompactedCopyThatPassesItsCheckTakesTheOriginalsPlace)
{
    QTemporaryDir otherFilesystem(QStringLiteral("/dev/shm/compaction-tool-XXXXXX"));
    ASSERT_TRUE(otherFilesystem.isValid());
    struct stat dataStat
    {};
    struct stat shmStat
    {};
    ASSERT_EQ(::stat(QFile::encodeName(data).constData(), &dataStat), 0);
    ASSERT_EQ(::stat(QFile::encodeName(otherFilesystem.path()).constData(), &shmStat), 0);
    ASSERT_NE(dataStat.st_dev, shmStat.st_dev) << "the case needs a second filesystem";

    struct Case
    {
        const char* name;
        QString fileName;
        QString madeWith; // the password the books are made with
        QString typed;    // the password typed into the box
        QString toolFolder;
        std::function<void()> prepare = [] {
        };
    };
    const Case cases[] = {
        {"protected", QStringLiteral("Books.mdb"), Password, Password, tool},
        {"unprotected", QStringLiteral("Plain.mdb"), QString(), QString(), tool},
        {"unprotected, a password typed", QStringLiteral("Typed.mdb"), QString(), QStringLiteral("typed"),
         tool},
        {"quotes and semicolons", QStringLiteral("Books; 'A' \"B\".mdb"), QStringLiteral("p;w\"o'rd "),
         QStringLiteral("p;w\"o'rd "), tool},
        {"Thai name", QStringLiteral("บริษัท ทดสอบ.mdb"), Password, Password, tool},
        {"a stale temporary file and journal", QStringLiteral("Stale.mdb"), Password, Password, tool,
         [&] {
             writeAll(temporal(), "left by a compaction that was cut short");
             writeAll(temporal() + QStringLiteral("-journal"), QByteArray(2048, '\x7f'));
         }},
        {"Temporal.mdb on another filesystem", QStringLiteral("Far.mdb"), Password, Password,
         QFileInfo(otherFilesystem.path()).canonicalFilePath()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString books = file(c.fileName);
        makeBooks(books, c.madeWith);
        ASSERT_EQ(::chmod(QFile::encodeName(books).constData(), 0640), 0);
        c.prepare();
        const QByteArray digest = booksDigest(books, c.madeWith);
        ASSERT_FALSE(digest.isEmpty());
        const qint64 sizeBefore = QFileInfo(books).size();

        Page page(c.toolFolder);
        page.fileDialog.queueAnswer(books);
        ComprimirAccess2000::cmdSelectFile(page.module, page.controls);
        EXPECT_EQ(page.lblOriginalSize->text(), ComprimirAccess2000::SizeText(sizeBefore));
        page.TxtPassword->setText(c.typed);
        page.messages.queueAnswer(MsgResult::Yes);
        ComprimirAccess2000::cmdCompactDatabase(page.module, page.controls);

        EXPECT_EQ(page.messages.calls(), (QList<Call>{page.question(), completed()}));
        EXPECT_TRUE(page.module.LastCompactOK);
        const qint64 sizeAfter = QFileInfo(books).size();
        EXPECT_LT(sizeAfter, sizeBefore * 3 / 4);
        EXPECT_EQ(page.lblFinalSize->text(), ComprimirAccess2000::SizeText(sizeAfter));
        EXPECT_EQ(page.lblOriginalSize->text(), ComprimirAccess2000::SizeText(sizeBefore));
        EXPECT_EQ(booksDigest(books, c.typed), digest);
        EXPECT_EQ(DatabaseFile::isUnprotected(books), c.typed.isEmpty());
        EXPECT_EQ(modeOf(books), 0640u);
        EXPECT_EQ(page.pointer.changes(), (QList<bool>{true, false}));
        EXPECT_EQ(page.events.count(), 1);
        EXPECT_EQ(listing(c.toolFolder), QStringList()) << "the temporary copy is gone";
        EXPECT_FALSE(QFileInfo::exists(books + QStringLiteral("-journal")));
        EXPECT_FALSE(QFileInfo::exists(books + QStringLiteral("-compacted")));
    }
}

// A second compaction finds nothing to free: the copy has the original's size exactly and still
// replaces it. Through a symbolic link, the file it points to is replaced and the link stays.
TEST_F(Compaction, ACopyOfTheSameSizeReplacesTheOriginalAndALinkKeepsPointingAtIt)
{
    const QString books = file(QStringLiteral("Books.mdb"));
    const QString link = file(QStringLiteral("Link.mdb"));
    makeBooks(books, Password);
    ASSERT_TRUE(QFile::link(books, link));
    const QByteArray digest = booksDigest(books, Password);

    Page page(tool);
    page.compact(link, Password);
    const qint64 compacted = QFileInfo(books).size();
    page.compact(link, Password);

    EXPECT_EQ(page.messages.calls(),
              (QList<Call>{page.question(), completed(), page.question(), completed()}));
    EXPECT_EQ(QFileInfo(books).size(), compacted);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(booksDigest(link, Password), digest);
    EXPECT_EQ(page.lblFinalSize->text(), ComprimirAccess2000::SizeText(compacted));
}

// Rows of 500 bytes: eight to a 4096-byte page of an unprotected file, but one to a page of a protected
// copy, whose 1024-byte pages also carry the cipher's own bytes.
TEST_F(Compaction, ACopyLargerThanTheOriginalIsThrownAwayAndTheOriginalKept)
{
    const QString books = file(QStringLiteral("Dense.mdb"));
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {books});
    ASSERT_TRUE(shell.waitForStarted());
    shell.write("PRAGMA page_size = 4096; CREATE TABLE Ledger (Memo BLOB);"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
                "INSERT INTO Ledger SELECT randomblob(500) FROM n;\n");
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished());
    ASSERT_TRUE(DatabaseFile::isUnprotected(books));
    const QByteArray before = readAll(books);

    Page page(tool);
    page.compact(books, QStringLiteral("typed"));

    EXPECT_EQ(page.messages.calls(),
              (QList<Call>{page.question(),
                           {QStringLiteral("The Final File if Bigger than the Original"), MsgStyle::OkOnly,
                            QString()}}));
    EXPECT_FALSE(page.module.LastCompactOK);
    EXPECT_EQ(readAll(books), before);
    EXPECT_EQ(page.lblFinalSize->text(), ComprimirAccess2000::SizeText(before.size()));
    EXPECT_EQ(listing(tool), QStringList());
}

// Bad input: the user is told exactly what is wrong, in the style the kind of failure has, and nothing on
// disk changes apart from the removal of a stale temporary copy.
TEST_F(Compaction, BadInputIsReportedAndLosesNothing)
{
    const QString books = file(QStringLiteral("Books.mdb"));
    makeBooks(books, Password);
    writeAll(file(QStringLiteral("Empty.mdb")), QByteArray());
    writeAll(file(QStringLiteral("Letter.mdb")), QByteArray("Dear customer, ...\n"));
    writeAll(file(QStringLiteral("Truncated.mdb")), readAll(books).left(8 * 1024));
    QDir().mkpath(file(QStringLiteral("Folder.mdb")));

    struct Case
    {
        const char* name;
        QString path;
        QString password;
        QList<Call> told; // after the question
        bool focusToPassword = false;
    };
    const QString missing = file(QStringLiteral("Missing.mdb"));
    const Case cases[] = {
        {"no file chosen",
         QString(),
         Password,
         {{QStringLiteral("Choose Database file before compact!!!"), MsgStyle::Critical,
           QStringLiteral("Error")}}},
        {"a missing file",
         missing,
         Password,
         {warning(QStringLiteral("Could not find file '%1'.").arg(missing))}},
        {"a 0-byte file",
         file(QStringLiteral("Empty.mdb")),
         Password,
         {warning(QStringLiteral("'%1' is not a database file: it is empty (0 bytes).")
                      .arg(file(QStringLiteral("Empty.mdb"))))}},
        {"not a database",
         file(QStringLiteral("Letter.mdb")),
         Password,
         {warning(QStringLiteral("'%1' is not a database file: its size of 19 bytes is not a whole number of "
                                 "1024-byte pages.")
                      .arg(file(QStringLiteral("Letter.mdb"))))}},
        {"a truncated database",
         file(QStringLiteral("Truncated.mdb")),
         Password,
         {warning(
             QStringLiteral("'%1' is not a database file or is damaged (database disk image is malformed).")
                 .arg(file(QStringLiteral("Truncated.mdb"))))}},
        {"a folder",
         file(QStringLiteral("Folder.mdb")),
         Password,
         {warning(QStringLiteral("'%1' is not a database file: it is a folder.")
                      .arg(file(QStringLiteral("Folder.mdb"))))}},
        {"protected, no password", books, QString(), {{PasswordMessage, MsgStyle::OkOnly, QString()}}, true},
        {"protected, wrong password",
         books,
         QStringLiteral("marigold4817"),
         {{PasswordMessage, MsgStyle::OkOnly, QString()}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = listing(data);
        const QByteArray booksBefore = readAll(books);
        writeAll(temporal(), "stale");
        Page page(tool);
        page.window.show();
        page.window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&page.window));
        page.txtCompactFileName->setFocus();
        page.lblOriginalSize->setText(QStringLiteral("as chosen"));

        page.compact(c.path, c.password);

        QList<Call> expected{page.question()};
        expected.append(c.told);
        EXPECT_EQ(page.messages.calls(), expected);
        EXPECT_FALSE(page.module.LastCompactOK);
        EXPECT_EQ(page.TxtPassword->hasFocus(), c.focusToPassword);
        EXPECT_EQ(page.lblOriginalSize->text(), QStringLiteral("as chosen"));
        EXPECT_EQ(page.lblFinalSize->text(),
                  c.path.isEmpty() ? QString() : ComprimirAccess2000::FileSizeText(c.path));
        EXPECT_EQ(page.pointer.changes(), c.path.isEmpty() ? QList<bool>{} : (QList<bool>{true, false}));
        EXPECT_EQ(listing(data), before);
        EXPECT_EQ(readAll(books), booksBefore);
        // The stale copy is removed only once the compaction has got as far as needing the name.
        EXPECT_EQ(QFileInfo::exists(temporal()), c.path.isEmpty() || c.path == missing);
        QFile::remove(temporal());
    }
}

// Another program holding the database open keeps it from being replaced underneath it: the stand-in
// accounting application, and an engine connection of another process.
TEST_F(Compaction, ADatabaseAnotherProgramHasOpenIsReportedInUseAndLeftAlone)
{
    const QString app = joinPath({data, QStringLiteral("app")});
    QDir().mkpath(app);
    const QString books = joinPath({app, QStringLiteral("Books.mdb")});
    makeBooks(books, Password);
    const QByteArray before = readAll(books);
    const Call inUse = warning(QStringLiteral("The database '%1' is in use by another program.").arg(books));

    // The stand-in reads datalink.udl in its own folder, so it runs from a copy beside the data.
    QString bin = qEnvironmentVariable("COMPANYDESK_BIN_DIR");
    if (bin.isEmpty())
        bin = QCoreApplication::applicationDirPath();
    const QString program = joinPath({app, QStringLiteral("Larkspur.exe")});
    ASSERT_TRUE(QFile::copy(joinPath({bin, QStringLiteral("Larkspur.exe")}), program));
    {
        QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") +
                       jetConnectionString(books, Password) + QStringLiteral("\r\n");
        QByteArray bytes("\xFF\xFE", 2);
        for (const QChar ch : text) {
            bytes.append(char(ch.unicode() & 0xFF));
            bytes.append(char(ch.unicode() >> 8));
        }
        writeAll(joinPath({app, QStringLiteral("datalink.udl")}), bytes);
    }
    const QString record = joinPath({data, QStringLiteral("record.txt")});
    QProcess larkspur;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LARKSPUR_RECORD"), record);
    environment.insert(QStringLiteral("LARKSPUR_HOLD_MS"), QStringLiteral("20000"));
    larkspur.setProcessEnvironment(environment);
    larkspur.setWorkingDirectory(app);
    larkspur.start(program, {});
    ASSERT_TRUE(larkspur.waitForStarted());
    QDeadlineTimer opened(15000);
    while (!QFileInfo::exists(record) && !opened.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(readAll(record).contains("database=")) << readAll(record).toStdString();

    Page held(tool);
    held.compact(books, Password);
    EXPECT_EQ(held.messages.calls(), (QList<Call>{held.question(), inUse}));
    EXPECT_EQ(readAll(books), before);
    larkspur.kill();
    larkspur.waitForFinished();

    // An engine connection in a child process, open until the parent has tried.
    int toChild[2];
    int toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Connection connection;
        connection.open(jetConnectionString(books, Password));
        char byte = 'o';
        (void)!::write(toParent[1], &byte, 1);
        (void)!::read(toChild[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(toParent[0], &byte, 1), 1);
    Page connected(tool);
    connected.compact(books, Password);
    byte = 'd';
    (void)!::write(toChild[1], &byte, 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]})
        ::close(fd);
    EXPECT_EQ(connected.messages.calls(), (QList<Call>{connected.question(), inUse}));
    EXPECT_EQ(readAll(books), before);
    EXPECT_EQ(listing(tool), QStringList());

    // Once nobody has it open, it compacts.
    Page free(tool);
    free.compact(books, Password);
    EXPECT_EQ(free.messages.calls(), (QList<Call>{free.question(), completed()}));
}

// Another SQLite program that does not know the engine's lock: the books are left alone while it holds
// them open, idle or inside a transaction, and what it commits afterwards is in the books.
TEST_F(Compaction, ABookHeldByAnotherSqliteProgramIsInUseAndItsLaterCommitsStay)
{
    const QString books = file(QStringLiteral("Books.mdb"));
    const Call inUse = warning(QStringLiteral("The database '%1' is in use by another program.").arg(books));
    struct Case
    {
        const char* name;
        QString opening; // run before the compaction is tried
        QString closing; // run after it
    };
    const Case cases[] = {
        {"idle", QStringLiteral("SELECT count(*) FROM Ledger;"),
         QStringLiteral("INSERT INTO Config_Data VALUES ('Later', 'kept');")},
        {"in a transaction", QStringLiteral("BEGIN; INSERT INTO Config_Data VALUES ('Later', 'kept');"),
         QStringLiteral("COMMIT;")},
        {"idle with a write-ahead log",
         QStringLiteral("PRAGMA journal_mode=WAL; INSERT INTO Config_Data VALUES ('Early', 'logged');"),
         QStringLiteral("INSERT INTO Config_Data VALUES ('Later', 'kept');")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(books);
        makeBooks(books, Password, 300);
        SqliteHolder holder(books, Password);
        ASSERT_TRUE(holder.run(c.opening)) << holder.errors().toStdString();
        const QStringList before = listing(data);
        const QByteArray bytes = readAll(books);

        Page page(tool);
        page.compact(books, Password);
        EXPECT_EQ(page.messages.calls(), (QList<Call>{page.question(), inUse}));
        EXPECT_FALSE(page.module.LastCompactOK);
        EXPECT_EQ(readAll(books), bytes);
        EXPECT_EQ(listing(data), before);

        ASSERT_TRUE(holder.run(c.closing)) << holder.errors().toStdString();
        ASSERT_TRUE(holder.finish()) << holder.errors().toStdString();
        const ShellResult read = runSqlcipherShell(
            books,
            QStringLiteral("PRAGMA key='%1';\nPRAGMA integrity_check;\nSELECT Config_Value FROM Config_Data "
                           "WHERE Config_Head = 'Later';\n")
                .arg(Password));
        EXPECT_EQ(read.output, QStringLiteral("ok\nkept\n")) << read.errors.toStdString();
    }
}

// A program killed with entries in its write-ahead log: they are compacted into the books, and no log,
// index or journal of the old file stays beside the new one to be played into it.
TEST_F(Compaction, WhatAKilledProgramLeftInItsLogIsKeptAndNothingStaleStaysBeside)
{
    const QString books = file(QStringLiteral("Books.mdb"));
    makeBooks(books, Password, 300);
    {
        SqliteHolder writer(books, Password);
        ASSERT_TRUE(
            writer.run(QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; INSERT INTO "
                                      "Config_Data VALUES ('Logged', 'kept');")))
            << writer.errors().toStdString();
        writer.kill();
    }
    ASSERT_TRUE(QFileInfo(books + QStringLiteral("-wal")).size() > 0);
    ASSERT_TRUE(QFileInfo::exists(books + QStringLiteral("-shm")));
    writeAll(books + QStringLiteral("-journal"), QByteArray());

    Page page(tool);
    page.compact(books, Password);
    EXPECT_EQ(page.messages.calls(), (QList<Call>{page.question(), completed()}));
    EXPECT_TRUE(page.module.LastCompactOK);
    EXPECT_EQ(listing(data), QStringList{QStringLiteral("/Books.mdb %1").arg(QFileInfo(books).size())});
    const ShellResult read = runSqlcipherShell(
        books,
        QStringLiteral("PRAGMA key='%1';\nPRAGMA integrity_check;\nSELECT Config_Value FROM Config_Data "
                       "WHERE Config_Head = 'Logged';\nSELECT count(*) FROM Ledger;\n")
            .arg(Password));
    EXPECT_EQ(read.output, QStringLiteral("ok\nkept\n100\n")) << read.errors.toStdString();
}

// The temporary file left as a link by someone: the link is replaced like any leftover, and nothing is
// written where it points. A link chosen for compaction that points nowhere is named in the message.
TEST_F(Compaction, LinksLeftAsTheTemporaryFileOrChosenToNothingAreHandledByName)
{
    const QString books = file(QStringLiteral("Books.mdb"));
    makeBooks(books, Password, 300);
    const QString elsewhere = file(QStringLiteral("elsewhere.mdb"));
    ASSERT_TRUE(QFile::link(elsewhere, temporal()));
    ASSERT_TRUE(QFile::link(file(QStringLiteral("nowhere/x")), temporal() + QStringLiteral("-journal")));

    Page page(tool);
    page.compact(books, Password);
    EXPECT_EQ(page.messages.calls(), (QList<Call>{page.question(), completed()}));
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_FALSE(QFileInfo(elsewhere).isSymLink());
    EXPECT_EQ(listing(tool), QStringList());

    const QString dangling = file(QStringLiteral("Dangling.mdb"));
    const QString target = file(QStringLiteral("Gone.mdb"));
    ASSERT_TRUE(QFile::link(target, dangling));
    const QStringList before = listing(data);
    Page chosen(tool);
    chosen.compact(dangling, Password);
    EXPECT_EQ(
        chosen.messages.calls(),
        (QList<Call>{chosen.question(),
                     warning(QStringLiteral("Could not find file '%1': it is a link to '%2', which does "
                                            "not exist.")
                                 .arg(dangling, target))}));
    EXPECT_EQ(listing(data), before);
}

// Two copies of the tool share one Temporal.mdb: while one compacts, the other is told to wait and leaves
// the first one's temporary copy alone.
TEST_F(Compaction, ASecondCompactionWaitsForTheFirstOneToFinishWithTheTemporaryFile)
{
    const QString books = file(QStringLiteral("Books.mdb"));
    makeBooks(books, Password);
    const QByteArray before = readAll(books);
    writeAll(temporal(), "being written by the other compaction");
    FileLock other;
    ASSERT_EQ(other.acquire(tool, FileLock::Mode::Exclusive), 0);

    Page page(tool);
    page.compact(books, Password);

    EXPECT_EQ(page.messages.calls(),
              (QList<Call>{
                  page.question(),
                  warning(QStringLiteral("Another compaction is using '%1'; try again when it has finished.")
                              .arg(temporal()))}));
    EXPECT_EQ(readAll(temporal()), QByteArray("being written by the other compaction"));
    EXPECT_EQ(readAll(books), before);
    other.release();

    page.compact(books, Password);
    EXPECT_EQ(page.messages.calls().last(), completed());
    EXPECT_FALSE(QFileInfo::exists(temporal()));
}

// As an unprivileged user (the tests run as root, whom permissions do not stop): a read-only database, a
// folder the database cannot be replaced in, and a tool folder the temporary copy cannot be written to.
TEST_F(Compaction, WhatTheUserMayNotWriteIsReportedBeforeAnythingIsCopied)
{
    const QString closedData = joinPath({data, QStringLiteral("closed")});
    const QString openData = joinPath({data, QStringLiteral("open")});
    const QString openTool = joinPath({data, QStringLiteral("tool")});
    for (const QString& folder : {closedData, openData, openTool})
        QDir().mkpath(folder);
    const QString readOnly = joinPath({openData, QStringLiteral("ReadOnly.mdb")});
    const QString inClosed = joinPath({closedData, QStringLiteral("Books.mdb")});
    const QString writable = joinPath({openData, QStringLiteral("Books.mdb")});
    for (const QString& path : {readOnly, inClosed, writable})
        makeBooks(path, Password);
    Unprivileged::makeReachable(data);
    Unprivileged::makeReachable(tool);
    for (const auto& [path, mode] : std::initializer_list<std::pair<QString, mode_t>>{{data, 0755},
                                                                                      {tool, 0755},
                                                                                      {closedData, 0755},
                                                                                      {openData, 0777},
                                                                                      {openTool, 0777},
                                                                                      {readOnly, 0444},
                                                                                      {inClosed, 0666},
                                                                                      {writable, 0666}})
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();

    struct Case
    {
        const char* name;
        QString path;
        QString toolFolder;
        QString told;
    };
    const Case cases[] = {
        {"read-only file", readOnly, openTool,
         QStringLiteral("The database '%1' cannot be compacted: the file is read-only for this user.")
             .arg(readOnly)},
        {"read-only folder", inClosed, openTool,
         QStringLiteral(
             "The database '%1' cannot be replaced by its compacted copy: its folder '%2' is read-only "
             "for this user.")
             .arg(inClosed, closedData)},
        {"tool folder read-only", writable, tool,
         QStringLiteral("The compacted copy '%1' could not be created: Permission denied.")
             .arg(joinPath({tool, QStringLiteral("Temporal.mdb")}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = listing(data);
        const QByteArray bytes = readAll(c.path);
        const int status = Unprivileged::run([&]() -> int {
            Page page(c.toolFolder);
            page.compact(c.path, Password);
            const QList<Call> expected{page.question(), warning(c.told)};
            if (page.messages.calls() != expected) {
                for (const Call& call : page.messages.calls())
                    std::fprintf(stderr, "told: %s\n", qPrintable(call.text));
                return 10;
            }
            return page.module.LastCompactOK ? 11 : 0;
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(listing(data), before);
        EXPECT_EQ(readAll(c.path), bytes);
    }
    EXPECT_EQ(listing(tool), QStringList());

    // The same user compacts what it may write.
    const int status = Unprivileged::run([&]() -> int {
        Page page(openTool);
        page.compact(writable, Password);
        return page.messages.calls() == QList<Call>{page.question(), completed()} ? 0 : 12;
    });
    EXPECT_EQ(status, 0);
    EXPECT_LT(QFileInfo(writable).size(), QFileInfo(readOnly).size());
}

} // namespace

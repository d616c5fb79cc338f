#include "engine/Recordset.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiskSnapshot.h"
#include "tests/support/Unprivileged.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace EngineTest;

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(QRandomGenerator::global()->bounded(256));
    bytes[0] = 'X'; // never a plain database by chance
    return bytes;
}

void writeUdl(const QString& path, const QString& connectionString)
{
    writeBytes(path,
               Fixtures::utf16le(
                   QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n%1\r\n")
                       .arg(connectionString)));
}

int countRows(Connection& connection, const QString& table)
{
    Recordset rs;
    rs.open(QStringLiteral("select count(*) from %1").arg(table), connection);
    return static_cast<int>(rs.value(0).toLongLong());
}

class EngineConnection : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    QString file(const QString& name) const { return folder.filePath(name); }
};

TEST_F(EngineConnection, RefusedOpensReportTheProvidersNumbersAndTouchNothing)
{
    const QString protectedDb = file(QStringLiteral("protected.mdb"));
    const QString plainDb = file(QStringLiteral("plain.mdb"));
    makeDatabase(protectedDb, legacyMaster());
    makeDatabase(plainDb, legacyMaster(), QString());
    writeBytes(file(QStringLiteral("empty.mdb")), QByteArray());
    writeBytes(file(QStringLiteral("odd.mdb")), randomBytes(3000));
    writeBytes(file(QStringLiteral("pages.mdb")), randomBytes(4096));
    writeBytes(file(QStringLiteral("damaged.mdb")), QByteArray("SQLite format 3\0", 16) + randomBytes(2032));
    QDir(folder.path()).mkdir(QStringLiteral("folder.mdb"));
    writeUdl(file(QStringLiteral("wrong.udl")),
             jetConnectionString(protectedDb, QStringLiteral("Marigold4818")));

    struct Case
    {
        const char* label;
        QString connectionString;
        long number;
        QString description; // exact, or the start when partial
        bool partial = false;
    };
    const QString missing = file(QStringLiteral("missing.mdb"));
    const Case cases[] = {
        {"missing file", jetConnectionString(missing), ErrorNumber::Unspecified,
         QStringLiteral("Could not find file '%1'.").arg(missing)},
        {"0 bytes", jetConnectionString(file(QStringLiteral("empty.mdb"))), ErrorNumber::Unspecified,
         QStringLiteral("'%1' is not a database file: it is empty (0 bytes).")
             .arg(file(QStringLiteral("empty.mdb")))},
        {"not whole pages", jetConnectionString(file(QStringLiteral("odd.mdb"))), ErrorNumber::Unspecified,
         QStringLiteral(
             "'%1' is not a database file: its size of 3000 bytes is not a whole number of 1024-byte pages.")
             .arg(file(QStringLiteral("odd.mdb")))},
        {"folder", jetConnectionString(file(QStringLiteral("folder.mdb"))), ErrorNumber::Unspecified,
         QStringLiteral("'%1' is not a database file: it is a folder.")
             .arg(file(QStringLiteral("folder.mdb")))},
        {"plain header, damaged body", jetConnectionString(file(QStringLiteral("damaged.mdb"))),
         ErrorNumber::Unspecified,
         QStringLiteral("'%1' is not a database file or is damaged").arg(file(QStringLiteral("damaged.mdb"))),
         true},
        {"random whole pages", jetConnectionString(file(QStringLiteral("pages.mdb"))),
         ErrorNumber::WrongPassword,
         QStringLiteral("Not a valid password for the database '%1'.")
             .arg(file(QStringLiteral("pages.mdb")))},
        {"wrong password", jetConnectionString(protectedDb, QStringLiteral("marigold4817")),
         ErrorNumber::WrongPassword,
         QStringLiteral("Not a valid password for the database '%1'.").arg(protectedDb)},
        {"no password key", jetConnectionString(protectedDb, QString()), ErrorNumber::WrongPassword,
         QStringLiteral("The database '%1' is protected by a password and none was given.").arg(protectedDb)},
        {"empty password", jetConnectionString(protectedDb, QStringLiteral("")), ErrorNumber::WrongPassword,
         QStringLiteral("The database '%1' is protected by a password and none was given.").arg(protectedDb)},
        {"data link naming a wrong password",
         QStringLiteral("FILE NAME=") + file(QStringLiteral("wrong.udl")), ErrorNumber::WrongPassword,
         QStringLiteral("Not a valid password for the database '%1'.").arg(protectedDb)},
        {"missing data link", QStringLiteral("File Name=") + file(QStringLiteral("none.udl")),
         ErrorNumber::Unspecified,
         QStringLiteral("The data-link file %1 does not exist.").arg(file(QStringLiteral("none.udl")))},
        {"other provider", QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + plainDb,
         ErrorNumber::ProviderNotFound,
         QStringLiteral("Provider cannot be found. It may not be properly installed. (Provider "
                        "'Microsoft.ACE.OLEDB.12.0'; only Microsoft.Jet.OLEDB.4.0 is available.)")},
        {"no provider", QStringLiteral("Data Source=") + plainDb, ErrorNumber::ProviderNotFound,
         QStringLiteral("Provider cannot be found. It may not be properly installed."), true},
        {"no data source", QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Engine Type=5"),
         ErrorNumber::Unspecified,
         QStringLiteral(
             "The connection string names no database file: its Data Source is missing or empty.")},
        {"engine type 4",
         QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Engine Type=4")
             .arg(plainDb),
         ErrorNumber::Unspecified,
         QStringLiteral("The database format 'Jet OLEDB:Engine Type=4' for '%1' is not supported; only "
                        "engine type 5 is.")
             .arg(plainDb)},
    };

    const QStringList entriesBefore = entries(folder.path());
    QMap<QString, QByteArray> bytesBefore;
    for (const QString& name : entriesBefore)
        bytesBefore[name] = fileBytes(file(name));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Connection connection;
        const auto error = errorOf([&] { connection.open(c.connectionString); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), c.number);
        if (c.partial)
            EXPECT_TRUE(error->description().startsWith(c.description)) << error->description().toStdString();
        else
            EXPECT_EQ(error->description(), c.description);
        EXPECT_FALSE(connection.isOpen());
        EXPECT_EQ(connection.databasePath(), QString());
        EXPECT_EQ(entries(folder.path()), entriesBefore);
    }
    for (const QString& name : entriesBefore)
        EXPECT_EQ(fileBytes(file(name)), bytesBefore[name]) << name.toStdString();
}

TEST_F(EngineConnection, OpensEveryFormOfTheConnectionStringAndAnyPath)
{
    const QString oddFolder = file(QStringLiteral("it's a ; \"odd\" ที่เก็บ "));
    ASSERT_TRUE(QDir().mkpath(oddFolder));
    const QString protectedDb = oddFolder + QStringLiteral("/MC Larkspur's;1.mdb");
    const QString plainDb = file(QStringLiteral("plain.mdb"));
    makeDatabase(protectedDb, legacyMaster());
    makeDatabase(plainDb, legacyMaster(), QString());
    writeUdl(file(QStringLiteral("MCdatalink.udl")), jetConnectionString(protectedDb));

    struct Case
    {
        const char* label;
        QString connectionString;
        QString opens;
    };
    const Case cases[] = {
        {"direct form, quoted path", jetConnectionString(protectedDb), protectedDb},
        {"data-link reference", QStringLiteral("FILE NAME=") + file(QStringLiteral("MCdatalink.udl")),
         protectedDb},
        {"test form with share mode",
         QStringLiteral(
             "Provider=microsoft.jet.oledb.4.0;Data Source=%1;Mode=Share Deny None;Persist Security "
             "Info=True;User ID=Admin;Jet OLEDB:Database Password=%2")
             .arg(ConnectionString::quoteValue(protectedDb), CommonPassword),
         protectedDb},
        {"unprotected file, password ignored", jetConnectionString(plainDb, QStringLiteral("anything")),
         plainDb},
        {"unprotected file, no password", jetConnectionString(plainDb, QString()), plainDb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Connection connection;
        connection.setCursorLocation(Ado::UseClient);
        connection.open(c.connectionString, QString(), QString(), Ado::Unspecified);
        EXPECT_TRUE(connection.isOpen());
        EXPECT_EQ(connection.databasePath(), c.opens);
        EXPECT_EQ(countRows(connection, QStringLiteral("Config_Data")), 1);
        connection.close();
        EXPECT_FALSE(connection.isOpen());
        EXPECT_THROW(connection.execute(QStringLiteral("select 1")), AppError);
    }
    EXPECT_TRUE(DatabaseFile::isUnprotected(plainDb));
    EXPECT_FALSE(DatabaseFile::isUnprotected(protectedDb));
    EXPECT_FALSE(fileBytes(protectedDb).contains("Config_Data"));
    EXPECT_FALSE(QFile::exists(protectedDb + QStringLiteral("-journal")));
}

TEST_F(EngineConnection, CreateRefusesAnExistingPathAndMakesAValidEmptyFile)
{
    const QString path = file(QStringLiteral("new.mdb"));
    DatabaseFile::create(path, CommonPassword);
    EXPECT_GT(QFileInfo(path).size(), 0);
    EXPECT_EQ(QFileInfo(path).size() % 1024, 0);
    Connection connection;
    connection.open(jetConnectionString(path));
    EXPECT_EQ(countRows(connection, QStringLiteral("sqlite_master")), 0);
    connection.close();

    const QByteArray before = fileBytes(path);
    for (const QString& existing : {path, folder.path()}) {
        const auto error = errorOf([&] { DatabaseFile::create(existing, QString()); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), ErrorNumber::Unspecified);
        EXPECT_EQ(error->description(),
                  QStringLiteral(
                      "The database '%1' cannot be created: a file or folder of that name exists already.")
                      .arg(existing));
    }
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(EngineConnection, AnOpenConnectionHoldsASharedLockAndAnExclusiveOneKeepsItOut)
{
    const QString path = file(QStringLiteral("MCLarkspur.mdb"));
    makeDatabase(path, legacyMaster());
    const QByteArray local = QFile::encodeName(path);

    {
        const int other = ::open(local.constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        Connection connection;
        const auto error = errorOf([&] { connection.open(jetConnectionString(path)); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), ErrorNumber::Unspecified);
        EXPECT_EQ(error->description(),
                  QStringLiteral("The database '%1' is in use by another program.").arg(path));
        EXPECT_FALSE(connection.isOpen());
        ::close(other);
    }

    Connection connection;
    connection.open(jetConnectionString(path));
    Connection reader; // a second reader shares the lock
    reader.open(jetConnectionString(path));
    const int probe = ::open(local.constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), -1);
    EXPECT_EQ(errno, EWOULDBLOCK);
    connection.close();
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), -1) << "the second connection still holds its lock";
    reader.close();
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0) << "closing released the lock";
    ::close(probe);
}

// The tests run as root; the file is made read-only for the unprivileged user, in a folder that user may
// write (so a journal could be left behind if anything tried to write). The connection opens read-only
// and every change fails with a read-only error; the file stays as it was.
TEST_F(EngineConnection, ReadOnlyFileOpensForReadingAndRefusesEveryChange)
{
    const QString path = file(QStringLiteral("MCLarkspur.mdb"));
    const QString unreadable = file(QStringLiteral("secret.mdb"));
    makeDatabase(path, legacyMaster());
    makeDatabase(unreadable, legacyMaster());
    Unprivileged::makeReachable(folder.path());
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(unreadable).constData(), 0400), 0);
    const QByteArray before = fileBytes(path);
    const QStringList entriesBefore = entries(folder.path());

    const int status = Unprivileged::run([&]() -> int {
        try {
            Connection connection;
            connection.open(jetConnectionString(path));
            Recordset rs;
            rs.open(QStringLiteral("select * from Config_Data where config_head = 'CurrentCompany' "),
                    connection);
            if (rs.recordCount() != 1 ||
                rs.value(QStringLiteral("Config_Value")).toString() != QLatin1String("0"))
                return 10;
            auto refusedAsReadOnly = [&](const std::function<void()>& change) {
                try {
                    change();
                } catch (const AppError& error) {
                    return error.number() == ErrorNumber::Unspecified &&
                           error.description().startsWith(
                               QStringLiteral("The database '%1' cannot be changed: the file is read-only")
                                   .arg(path));
                }
                return false;
            };
            if (!refusedAsReadOnly(
                    [&] { connection.execute(QStringLiteral("UPDATE Config_Data SET Config_Value = '9'")); }))
                return 11;
            if (!refusedAsReadOnly([&] {
                    rs.setValue(QStringLiteral("Config_Value"), QStringLiteral("5"));
                    rs.update();
                }))
                return 12;
            if (!refusedAsReadOnly([&] {
                    connection.execute(
                        QStringLiteral("ALTER table Config_Data  ALTER COLUMN  Config_Value text(255) "));
                }))
                return 13;
            Connection denied;
            try {
                denied.open(jetConnectionString(unreadable));
                return 14;
            } catch (const AppError& error) {
                if (error.description() !=
                    QStringLiteral("The database '%1' could not be opened: Permission denied.")
                        .arg(unreadable))
                    return 15;
            }
            return 0;
        } catch (...) {
            return 30;
        }
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(entries(folder.path()), entriesBefore);
}

TEST_F(EngineConnection, AWriteTransactionKeepsOtherWritersWaiting)
{
    const QString path = file(QStringLiteral("MCLarkspur.mdb"));
    makeDatabase(path, legacyMaster());
    Connection first;
    Connection second;
    first.open(jetConnectionString(path));
    second.open(jetConnectionString(path));
    const QString insert =
        QStringLiteral("Insert into config_data(config_head,config_value) values('%1','1') ");

    first.beginTrans();
    first.execute(insert.arg(QStringLiteral("first")));
    QElapsedTimer timer;
    timer.start();
    const auto error = errorOf([&] { second.beginTrans(); });
    EXPECT_GE(timer.elapsed(), 4500) << "the second writer waited for the busy timeout";
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ErrorNumber::Unspecified);
    EXPECT_TRUE(error->description().startsWith(QStringLiteral("The database '%1' is locked").arg(path)))
        << error->description().toStdString();

    // The second writer must still be waiting when the first commits: it begins only after that.
    std::atomic<bool> secondCommitted = false;
    std::atomic<bool> firstCommitted = false;
    std::atomic<bool> beganAfterFirst = false;
    std::atomic<pid_t> waiterThread = 0;
    std::thread waiter([&] {
        waiterThread = ::gettid();
        try {
            second.beginTrans();
            beganAfterFirst = firstCommitted.load();
            second.execute(insert.arg(QStringLiteral("second")));
            second.commitTrans();
            secondCommitted = true;
        } catch (const AppError&) {
        }
    });
    // Until the waiter sleeps in the engine's busy wait (or has ended, which the checks below catch).
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        const pid_t tid = waiterThread.load();
        if (tid != 0) {
            QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
            if (!stat.open(QIODevice::ReadOnly))
                break;
            const QByteArray line = stat.readAll();
            const qsizetype close = line.lastIndexOf(')');
            if (close >= 0 && line.size() > close + 2 && line[close + 2] == 'S')
                break;
        }
        std::this_thread::yield();
    }
    firstCommitted = true;
    first.commitTrans();
    waiter.join();
    EXPECT_TRUE(secondCommitted);
    EXPECT_TRUE(beganAfterFirst);
    EXPECT_EQ(countRows(first, QStringLiteral("Config_Data")), 3);

    first.beginTrans();
    first.execute(insert.arg(QStringLiteral("undone")));
    EXPECT_EQ(countRows(first, QStringLiteral("Config_Data")), 4);
    first.rollbackTrans();
    EXPECT_EQ(countRows(second, QStringLiteral("Config_Data")), 3);
    const auto noTransaction = errorOf([&] { first.commitTrans(); });
    ASSERT_TRUE(noTransaction);
    EXPECT_EQ(noTransaction->number(), ErrorNumber::Unspecified);
}

} // namespace

namespace {

// Files an office can leave where a database or a data-link file belongs: none is opened, none hangs the
// program or fills its memory, and each report names the whole path and the cause.
TEST_F(EngineConnection, OnlyRegularFilesAreOpenedAndReportsNameTheWholePath)
{
    const QString fifo = file(QStringLiteral("fifo.mdb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString udlFifo = file(QStringLiteral("fifo.udl"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(udlFifo).constData(), 0644), 0);
    const QString udlDevice = file(QStringLiteral("device.udl"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), udlDevice));
    const QString bigUdl = file(QStringLiteral("big.udl"));
    writeUdl(bigUdl, jetConnectionString(file(QStringLiteral("x.mdb"))) + QString(40000, QLatin1Char(' ')));
    writeBytes(file(QStringLiteral("plain.txt")), "a file, not a folder");
    const QString underFile = file(QStringLiteral("plain.txt")) + QStringLiteral("/x.mdb");
    const QString relative = QStringLiteral("no-such-folder/x.mdb");

    struct Case
    {
        const char* label;
        QString connectionString;
        QString description;
    };
    const QString notRegular =
        QStringLiteral("it is not a regular file (it is a device, a pipe or a socket)");
    const Case cases[] = {
        {"database FIFO", jetConnectionString(fifo),
         QStringLiteral("'%1' is not a database file: %2.").arg(fifo, notRegular)},
        {"database device", jetConnectionString(QStringLiteral("/dev/zero")),
         QStringLiteral("'/dev/zero' is not a database file: %1.").arg(notRegular)},
        {"database below a file", jetConnectionString(underFile),
         QStringLiteral("Could not find file '%1': a part of its path is a file, not a folder.")
             .arg(underFile)},
        {"relative database path", jetConnectionString(relative),
         QStringLiteral("Could not find file '%1'.").arg(QDir::current().absoluteFilePath(relative))},
        {"data-link FIFO", QStringLiteral("FILE NAME=") + udlFifo,
         QStringLiteral("The data-link file %1 is not a regular file (it is a device, a pipe or a socket).")
             .arg(udlFifo)},
        {"data-link linked to a device", QStringLiteral("FILE NAME=") + udlDevice,
         QStringLiteral("The data-link file %1 is not a regular file (it is a device, a pipe or a socket).")
             .arg(udlDevice)},
        {"data-link too large", QStringLiteral("FILE NAME=") + bigUdl,
         QStringLiteral(
             "The data-link file %1 is too large to be a data-link file (%2 bytes; at most 65536).")
             .arg(bigUdl)
             .arg(QFileInfo(bigUdl).size())},
    };
    const auto before = DiskSnapshot::take(folder.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Connection connection;
        ::alarm(60); // an open that hangs ends the test program instead of waiting for ever
        const auto error = errorOf([&] { connection.open(c.connectionString); });
        ::alarm(0);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), ErrorNumber::Unspecified);
        EXPECT_EQ(error->description().toStdString(), c.description.toStdString());
        EXPECT_FALSE(connection.isOpen());
    }
    EXPECT_EQ(DiskSnapshot::take(folder.path()), before);
}

// SQLite's allocator made to fail, in a child process, as a machine out of memory would make it: the
// open reports that, naming the file.
TEST_F(EngineConnection, RunningOutOfMemoryWhileOpeningIsReportedAsSuchNamingTheFile)
{
    const QString db = file(QStringLiteral("master.mdb"));
    makeDatabase(db, legacyMaster());
    const int status = ChildProcess::run([&] {
        static sqlite3_mem_methods real{};
        sqlite3_mem_methods failing{};
        sqlite3_shutdown();
        sqlite3_config(SQLITE_CONFIG_GETMALLOC, &real);
        failing = real;
        failing.xMalloc = [](int) -> void* {
            return nullptr;
        };
        failing.xRealloc = [](void*, int) -> void* {
            return nullptr;
        };
        if (sqlite3_config(SQLITE_CONFIG_MALLOC, &failing) != SQLITE_OK)
            return 10;
        Connection connection;
        const auto error = errorOf([&] { connection.open(jetConnectionString(db)); });
        if (!error)
            return 11;
        if (error->number() != ErrorNumber::OutOfMemory)
            return 12;
        if (error->description() != QStringLiteral("Out of memory while opening the database '%1'.").arg(db))
            return 13;
        return connection.isOpen() ? 14 : 0;
    });
    EXPECT_EQ(status, 0);
}

// A statement compiled but not run: it raises what running it would raise when it cannot be compiled,
// and otherwise reads and changes nothing, whatever it says.
TEST_F(EngineConnection, CompilingAStatementRaisesWhatRunningItWouldAndRunsNothing)
{
    const QString path = file(QStringLiteral("compiled.mdb"));
    makeDatabase(path, {QStringLiteral("CREATE TABLE T (A INTEGER, B VARCHAR(10))"),
                        QStringLiteral("INSERT INTO T (A, B) VALUES (1, 'one')"),
                        QStringLiteral("INSERT INTO T (A, B) VALUES (2, 'two')")});
    Connection connection;
    connection.open(jetConnectionString(path));
    const QByteArray before = fileBytes(path);

    const char* harmless[] = {"select  count(B) from T", "delete from T",
                              "insert into T (A, B) values (3, 'x')", "update T set B = 'changed'",
                              "drop table T"};
    for (const char* statement : harmless) {
        SCOPED_TRACE(statement);
        EXPECT_NO_THROW(connection.compile(QString::fromLatin1(statement)));
    }
    EXPECT_EQ(countRows(connection, QStringLiteral("T")), 2);
    EXPECT_EQ(fileBytes(path), before);

    const char* refused[] = {"select  count(Nothing) from T", "select  count(A) from Nowhere",
                             "selec A from T"};
    for (const char* statement : refused) {
        SCOPED_TRACE(statement);
        const std::optional<AppError> compiled =
            errorOf([&] { connection.compile(QString::fromLatin1(statement)); });
        const std::optional<AppError> run =
            errorOf([&] { connection.execute(QString::fromLatin1(statement)); });
        ASSERT_TRUE(compiled && run);
        EXPECT_EQ(compiled->number(), run->number());
        EXPECT_EQ(compiled->description(), run->description());
    }

    connection.close();
    const std::optional<AppError> closed = errorOf([&] { connection.compile(QStringLiteral("select 1")); });
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->number(), ErrorNumber::ObjectClosed);
}

} // namespace

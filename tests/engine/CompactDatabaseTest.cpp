#include "engine/CompactDatabase.h"
#include "engine/Recordset.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/Unprivileged.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace EngineTest;

// A database whose deleted rows left free pages behind, with every kind of object the copy must keep.
void makeFragmentedDatabase(const QString& path, const QString& password)
{
    makeDatabase(
        path,
        {QStringLiteral("CREATE TABLE Ledger (ID INTEGER PRIMARY KEY AUTOINCREMENT, Account VARCHAR(20), "
                        "Memo MEMO, Amount DOUBLE)"),
         QStringLiteral("CREATE INDEX Ledger_Account ON Ledger (Account)"),
         QStringLiteral("CREATE TABLE Config_Data (Config_Head VARCHAR(50), Config_Value VARCHAR(255))"),
         QStringLiteral(
             "CREATE VIEW Totals AS SELECT Account, sum(Amount) AS Total FROM Ledger GROUP BY Account"),
         QStringLiteral("CREATE TRIGGER Ledger_Touch AFTER INSERT ON Ledger BEGIN UPDATE Config_Data SET "
                        "Config_Value = NEW.ID WHERE Config_Head = 'LastEntry'; END"),
         QStringLiteral("INSERT INTO Config_Data (Config_Head, Config_Value) VALUES ('LastEntry', '0')"),
         QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                        "INSERT INTO Ledger (Account, Memo, Amount) SELECT 'A' || (i % 7), "
                        "hex(randomblob(150)), i * 1.5 FROM n"),
         QStringLiteral("DELETE FROM Ledger WHERE ID % 3 <> 0"), QStringLiteral("PRAGMA user_version = 42"),
         QStringLiteral("PRAGMA application_id = 1279611216")},
        password);
}

QString jetWithPassword(const QString& path, const QString& password)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2;")
        .arg(ConnectionString::quoteValue(path), ConnectionString::quoteValue(password));
}

QString jetWithoutPassword(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Engine Type=5")
        .arg(ConnectionString::quoteValue(path));
}

QVariant scalar(Connection& connection, const QString& sql)
{
    Recordset rs;
    rs.open(sql, connection);
    return rs.value(0);
}

// Everything a reader of the books sees: every row of every table and view, in order.
QByteArray contentDigest(Connection& connection)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const char* sql : {"select * from Ledger order by ID", "select * from Config_Data",
                            "select * from Totals order by Account", "select * from sqlite_sequence"}) {
        Recordset rs;
        rs.open(QString::fromLatin1(sql), connection);
        while (!rs.eof()) {
            for (int i = 0; i < rs.fieldCount(); ++i)
                hash.addData(rs.value(i).toString().toUtf8() + '\x1f');
            rs.moveNext();
        }
    }
    return hash.result();
}

class EngineCompaction : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    QString file(const QString& name) const { return folder.filePath(name); }
};

TEST_F(EngineCompaction, ACompactedCopyIsSmallerKeepsEverythingAndLeavesTheSourceAlone)
{
    struct Case
    {
        const char* name;
        QString password;
    };
    const Case cases[] = {{"protected", CommonPassword},
                          {"unprotected", QString()},
                          {"password with ; and quotes", QStringLiteral("a;b\"c'd")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = file(QStringLiteral("src; \"%1\".mdb").arg(QLatin1String(c.name)));
        const QString target = file(QStringLiteral("Temporal '%1'.mdb").arg(QLatin1String(c.name)));
        makeFragmentedDatabase(source, c.password);
        QByteArray digestBefore;
        {
            Connection original;
            original.open(jetWithPassword(source, c.password));
            digestBefore = contentDigest(original);
        }
        const QByteArray sourceBytes = fileBytes(source);

        const QString sourceString =
            c.password.isEmpty() ? jetWithoutPassword(source) : jetWithPassword(source, c.password);
        const QString targetString =
            c.password.isEmpty() ? jetWithoutPassword(target) : jetWithPassword(target, c.password);
        const DatabaseCensus census = CompactDatabase(sourceString, targetString);

        EXPECT_EQ(fileBytes(source), sourceBytes) << "the source was changed";
        EXPECT_FALSE(QFileInfo::exists(source + QStringLiteral("-journal")));
        EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("-journal")));
        EXPECT_LT(QFileInfo(target).size(), QFileInfo(source).size() * 3 / 4);
        EXPECT_EQ(DatabaseFile::isUnprotected(target), c.password.isEmpty());
        EXPECT_EQ(census.rowsByTable, (QMap<QString, qint64>{{QStringLiteral("Config_Data"), 1},
                                                             {QStringLiteral("Ledger"), 1000}}));

        Connection copy;
        copy.open(targetString);
        EXPECT_EQ(contentDigest(copy), digestBefore);
        EXPECT_EQ(DatabaseCensus::take(copy), census);
        EXPECT_EQ(DatabaseCheck::quickCheckProblems(copy), QString());
        EXPECT_EQ(scalar(copy, QStringLiteral("PRAGMA user_version")).toInt(), 42);
        EXPECT_EQ(scalar(copy, QStringLiteral("PRAGMA application_id")).toLongLong(), 1279611216);
        EXPECT_EQ(scalar(copy, QStringLiteral("select count(*) from sqlite_master where name in "
                                              "('Ledger_Account', 'Totals', 'Ledger_Touch')"))
                      .toInt(),
                  3);
        // The trigger came along and still works, and so does the autoincrement counter.
        copy.execute(QStringLiteral("INSERT INTO Ledger (Account, Amount) VALUES ('B', 1)"));
        EXPECT_EQ(scalar(copy, QStringLiteral("select Config_Value from Config_Data")).toString(),
                  QStringLiteral("3001"));
    }
}

// A copy with the source's password takes over the key the opening derived; one with another password
// gets a key of its own. Either way the copy opens with its password only.
TEST_F(EngineCompaction, TheCopyOpensWithTheTargetsPasswordOnly)
{
    const QString source = file(QStringLiteral("books.mdb"));
    makeFragmentedDatabase(source, CommonPassword);
    struct Case
    {
        const char* name;
        QString password;
        QStringList refused;
    };
    const Case cases[] = {
        {"same password", CommonPassword, {QStringLiteral("nope")}},
        {"another password", QStringLiteral("other"), {CommonPassword, QStringLiteral("nope")}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = file(QStringLiteral("copy %1.mdb").arg(QLatin1String(c.name)));
        CompactDatabase(jetWithPassword(source, CommonPassword), jetWithPassword(target, c.password));
        EXPECT_FALSE(DatabaseFile::isUnprotected(target));
        {
            Connection copy;
            copy.open(jetWithPassword(target, c.password));
            EXPECT_EQ(DatabaseCensus::take(copy).rowsByTable.value(QStringLiteral("Ledger")), 1000);
        }
        for (const QString& wrong : c.refused) {
            Connection copy;
            const auto refused = errorOf([&] { copy.open(jetWithPassword(target, wrong)); });
            ASSERT_TRUE(refused) << wrong.toStdString();
            EXPECT_EQ(refused->number(), ErrorNumber::WrongPassword);
        }
    }
}

// As the original engine did, an unprotected file opens whatever password is typed; the copy then carries
// the password the target string asks for.
TEST_F(EngineCompaction, AnUnprotectedSourceCompactedWithAPasswordGivesAProtectedCopy)
{
    const QString source = file(QStringLiteral("plain.mdb"));
    const QString target = file(QStringLiteral("Temporal.mdb"));
    makeFragmentedDatabase(source, QString());
    CompactDatabase(jetWithPassword(source, QStringLiteral("typed")),
                    jetWithPassword(target, QStringLiteral("typed")));

    EXPECT_TRUE(DatabaseFile::isUnprotected(source));
    EXPECT_FALSE(DatabaseFile::isUnprotected(target));
    Connection copy;
    copy.open(jetWithPassword(target, QStringLiteral("typed")));
    EXPECT_EQ(DatabaseCensus::take(copy).rowsByTable.value(QStringLiteral("Ledger")), 1000);
    copy.close();
    const auto refused = errorOf([&] { copy.open(jetWithoutPassword(target)); });
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->number(), ErrorNumber::WrongPassword);
}

TEST_F(EngineCompaction, EveryFailureIsReportedLeavesNoCopyAndOnlyAPasswordFailureHasThePasswordNumber)
{
    const QString good = file(QStringLiteral("good.mdb"));
    makeFragmentedDatabase(good, CommonPassword);
    const QString plain = file(QStringLiteral("plain.mdb"));
    makeFragmentedDatabase(plain, QString());
    writeBytes(file(QStringLiteral("empty.mdb")), QByteArray());
    writeBytes(file(QStringLiteral("text.mdb")), QByteArray("This is a letter, not a database.\n"));
    // Cut at a page boundary, so that it still looks like a database from its first page.
    writeBytes(file(QStringLiteral("truncated.mdb")), fileBytes(plain).left(16 * 1024));
    writeBytes(file(QStringLiteral("exists.mdb")), QByteArray("keep me"));
    QDir().mkpath(file(QStringLiteral("folder.mdb")));

    struct Case
    {
        const char* name;
        QString source;
        QString target;
        long number;
        QString description;
    };
    const QString target = file(QStringLiteral("Temporal.mdb"));
    const Case cases[] = {
        {"no password", jetWithoutPassword(good), jetWithoutPassword(target), ErrorNumber::WrongPassword,
         QStringLiteral("The database '%1' is protected by a password and none was given.").arg(good)},
        {"wrong password", jetWithPassword(good, QStringLiteral("nope")),
         jetWithPassword(target, QStringLiteral("nope")), ErrorNumber::WrongPassword,
         QStringLiteral("Not a valid password for the database '%1'.").arg(good)},
        {"missing file", jetWithPassword(file(QStringLiteral("missing.mdb")), CommonPassword),
         jetWithPassword(target, CommonPassword), ErrorNumber::Unspecified,
         QStringLiteral("Could not find file '%1'.").arg(file(QStringLiteral("missing.mdb")))},
        {"empty file", jetWithPassword(file(QStringLiteral("empty.mdb")), CommonPassword),
         jetWithPassword(target, CommonPassword), ErrorNumber::Unspecified,
         QStringLiteral("'%1' is not a database file: it is empty (0 bytes).")
             .arg(file(QStringLiteral("empty.mdb")))},
        {"not a database", jetWithPassword(file(QStringLiteral("text.mdb")), CommonPassword),
         jetWithPassword(target, CommonPassword), ErrorNumber::Unspecified,
         QStringLiteral(
             "'%1' is not a database file: its size of 34 bytes is not a whole number of 1024-byte "
             "pages.")
             .arg(file(QStringLiteral("text.mdb")))},
        {"a folder", jetWithPassword(file(QStringLiteral("folder.mdb")), CommonPassword),
         jetWithPassword(target, CommonPassword), ErrorNumber::Unspecified,
         QStringLiteral("'%1' is not a database file: it is a folder.")
             .arg(file(QStringLiteral("folder.mdb")))},
        {"target exists", jetWithPassword(good, CommonPassword),
         jetWithPassword(file(QStringLiteral("exists.mdb")), CommonPassword), ErrorNumber::Unspecified,
         QStringLiteral("The compacted copy cannot be written to '%1': a file of that name exists already.")
             .arg(file(QStringLiteral("exists.mdb")))},
        {"target folder missing", jetWithPassword(good, CommonPassword),
         jetWithPassword(file(QStringLiteral("nowhere/Temporal.mdb")), CommonPassword),
         ErrorNumber::Unspecified,
         QStringLiteral("The compacted copy '%1' could not be created: No such file or directory.")
             .arg(file(QStringLiteral("nowhere/Temporal.mdb")))},
        {"onto itself", jetWithPassword(good, CommonPassword), jetWithPassword(good, CommonPassword),
         ErrorNumber::Unspecified,
         QStringLiteral(
             "The database '%1' cannot be compacted onto itself; the copy needs a file of its own.")
             .arg(good)},
        {"another provider", QStringLiteral("Provider=SQLOLEDB;Data Source=%1").arg(good),
         jetWithPassword(target, CommonPassword), ErrorNumber::ProviderNotFound,
         QStringLiteral(
             "Provider cannot be found. It may not be properly installed. (Provider 'SQLOLEDB'; only "
             "Microsoft.Jet.OLEDB.4.0 is available.)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = entries(folder.path());
        const QByteArray goodBytes = fileBytes(good);
        const auto error = errorOf([&] { CompactDatabase(c.source, c.target); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), c.number);
        EXPECT_EQ(error->description(), c.description);
        EXPECT_EQ(entries(folder.path()), before) << "a file was left behind or removed";
        EXPECT_EQ(fileBytes(good), goodBytes);
        EXPECT_EQ(fileBytes(file(QStringLiteral("exists.mdb"))), QByteArray("keep me"));
    }

    // A damaged database is no password failure either.
    const auto damaged = errorOf([&] {
        CompactDatabase(jetWithoutPassword(file(QStringLiteral("truncated.mdb"))),
                        jetWithoutPassword(target));
    });
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->number(), ErrorNumber::Unspecified);
    EXPECT_EQ(damaged->description(),
              QStringLiteral("'%1' is not a database file or is damaged (database disk image is malformed).")
                  .arg(file(QStringLiteral("truncated.mdb"))));

    // Damage that shows only while the rows are copied: the first pages are whole, the others scribbled on.
    QByteArray scribbled = fileBytes(plain);
    for (qsizetype page = 4; page < scribbled.size() / 1024; ++page)
        scribbled.replace(page * 1024 + 16, 64, QByteArray(64, '\xee'));
    writeBytes(file(QStringLiteral("scribbled.mdb")), scribbled);
    const auto whileCopying = errorOf([&] {
        CompactDatabase(jetWithoutPassword(file(QStringLiteral("scribbled.mdb"))),
                        jetWithoutPassword(target));
    });
    ASSERT_TRUE(whileCopying);
    EXPECT_EQ(whileCopying->number(), ErrorNumber::Unspecified);
    EXPECT_TRUE(whileCopying->description().startsWith(
        QStringLiteral("The database '%1' could not be compacted into '%2': ")
            .arg(file(QStringLiteral("scribbled.mdb")), target)))
        << whileCopying->description().toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("-journal")));
}

TEST_F(EngineCompaction, AStaleJournalOfTheTargetIsRemovedBeforeItCouldBePlayedIntoTheNewCopy)
{
    const QString source = file(QStringLiteral("good.mdb"));
    const QString target = file(QStringLiteral("Temporal.mdb"));
    makeFragmentedDatabase(source, CommonPassword);
    writeBytes(target + QStringLiteral("-journal"), QByteArray(4096, '\x5a'));

    CompactDatabase(jetWithPassword(source, CommonPassword), jetWithPassword(target, CommonPassword));

    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("-journal")));
    Connection copy;
    copy.open(jetWithPassword(target, CommonPassword));
    EXPECT_EQ(DatabaseCheck::quickCheckProblems(copy), QString());
}

TEST_F(EngineCompaction, ASourceInUseIsReadAlongsideReadersAndRefusedUnderAnotherProgramsExclusiveLock)
{
    const QString source = file(QStringLiteral("good.mdb"));
    const QString target = file(QStringLiteral("Temporal.mdb"));
    makeFragmentedDatabase(source, CommonPassword);

    {
        Connection reader; // another reader shares the file
        reader.open(jetWithPassword(source, CommonPassword));
        CompactDatabase(jetWithPassword(source, CommonPassword), jetWithPassword(target, CommonPassword));
        EXPECT_TRUE(QFile::remove(target));
    }

    const int holder = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const auto error = errorOf([&] {
        CompactDatabase(jetWithPassword(source, CommonPassword), jetWithPassword(target, CommonPassword));
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description(),
              QStringLiteral("The database '%1' is in use by another program.").arg(source));
    EXPECT_FALSE(QFileInfo::exists(target));

    // The holder of the exclusive lock itself may read the file it is about to replace.
    CompactDatabase(jetWithPassword(source, CommonPassword), jetWithPassword(target, CommonPassword),
                    Connection::LockOwner::Caller);
    EXPECT_TRUE(QFileInfo::exists(target));
    ::close(holder);
}

// As an unprivileged user: a folder that user may not write gets no copy, and a source that user may not
// write is refused rather than half copied.
TEST_F(EngineCompaction, UnwritableTargetFolderOrSourceIsRefusedAndLeavesNothing)
{
    const QString source = file(QStringLiteral("good.mdb"));
    const QString readOnly = file(QStringLiteral("readonly.mdb"));
    makeFragmentedDatabase(source, CommonPassword);
    makeFragmentedDatabase(readOnly, CommonPassword);
    const QString closed = file(QStringLiteral("closed"));
    const QString open = file(QStringLiteral("open"));
    QDir().mkpath(closed);
    QDir().mkpath(open);
    Unprivileged::makeReachable(folder.path());
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);
    const QByteArray sourceBytes = fileBytes(source);
    const QByteArray readOnlyBytes = fileBytes(readOnly);

    struct Case
    {
        const char* name;
        QString source;
        QString target;
        QString description;
    };
    const Case cases[] = {
        {"folder closed", source, closed + QStringLiteral("/Temporal.mdb"),
         QStringLiteral("The compacted copy '%1' could not be created: Permission denied.")
             .arg(closed + QStringLiteral("/Temporal.mdb"))},
        {"source read-only", readOnly, open + QStringLiteral("/Temporal.mdb"),
         QStringLiteral("The database '%1' cannot be compacted: the file is read-only for this user.")
             .arg(readOnly)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int status = Unprivileged::run([&]() -> int {
            try {
                CompactDatabase(jetWithPassword(c.source, CommonPassword),
                                jetWithPassword(c.target, CommonPassword));
                return 10;
            } catch (const AppError& error) {
                if (error.number() != ErrorNumber::Unspecified)
                    return 11;
                if (error.description() != c.description) {
                    std::fprintf(stderr, "%s\n", qPrintable(error.description()));
                    return 12;
                }
                return 0;
            }
        });
        EXPECT_EQ(status, 0);
    }
    EXPECT_TRUE(entries(closed).isEmpty());
    EXPECT_TRUE(entries(open).isEmpty());
    EXPECT_EQ(fileBytes(source), sourceBytes);
    EXPECT_EQ(fileBytes(readOnly), readOnlyBytes);
}

} // namespace

namespace {

TEST(EngineCensus, NamesTheFirstDifferenceBetweenAnOriginalAndItsCopy)
{
    const DatabaseCensus original{{{QStringLiteral("Company"), 3}, {QStringLiteral("Config_Data"), 2}}};
    struct Case
    {
        const char* name;
        DatabaseCensus copy;
        QString difference;
    };
    const Case cases[] = {
        {"equal", original, QString()},
        {"a table missing", DatabaseCensus{{{QStringLiteral("Company"), 3}}},
         QStringLiteral("the table 'Config_Data' is missing")},
        {"rows missing", DatabaseCensus{{{QStringLiteral("Company"), 2}, {QStringLiteral("Config_Data"), 2}}},
         QStringLiteral("the table 'Company' holds 2 rows instead of 3")},
        {"a table more",
         DatabaseCensus{
             {{QStringLiteral("Company"), 3}, {QStringLiteral("Config_Data"), 2}, {QStringLiteral("X"), 0}}},
         QStringLiteral("it has a table 'X' the original lacks")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DatabaseCensus::difference(original, c.copy), c.difference);
        EXPECT_EQ(c.copy == original, c.difference.isEmpty());
    }
}

} // namespace

#include "tests/jetimport/JetImportFixture.h"

#include "base/AppError.h"
#include "engine/ConnectionTarget.h"
#include "engine/DatabaseFile.h"
#include "engine/DatabaseOpening.h"
#include "engine/Sqlite.h"
#include "maintenance/jetimport/DatabaseComparison.h"
#include "maintenance/jetimport/DatabaseImport.h"
#include "maintenance/jetimport/StoredValues.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Unprivileged.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace JetImportFixture;

namespace {

class ImportFailureTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    // The description of the failure, or "(no failure)".
    std::string failureOf(const QString& source, const QString& target, int codePage = 0)
    {
        try {
            JetImport::importDatabase(source, target, options(codePage));
        } catch (const AppError& error) {
            return error.description().toStdString();
        }
        return "(no failure)";
    }
};

TEST_F(ImportFailureTest, AnExistingTargetIsRefusedAndLeftAsItIs)
{
    const QString source = copySample(dir.path(), QStringLiteral("DateTestDatabase.mdb"));
    const QString target = path(QStringLiteral("books.db"));
    Fixtures::writeAll(target, QByteArray("the books of an office"));
    EXPECT_EQ(
        failureOf(source, target),
        QStringLiteral("'%1' exists already; the import writes only new files and has left it as it is.")
            .arg(target)
            .toStdString());
    EXPECT_EQ(Fixtures::readAll(target), QByteArray("the books of an office"));
    EXPECT_EQ(entries(dir.path()),
              (QStringList{QStringLiteral("DateTestDatabase.mdb"), QStringLiteral("books.db")}));
}

TEST_F(ImportFailureTest, FilesThatAreNoReadableJetDatabaseAreRefused)
{
    const QByteArray jet = Fixtures::readAll(QStringLiteral(JET_SAMPLES "/DateTestDatabase.mdb"));
    struct Case
    {
        const char* name;
        QByteArray bytes;
        const char* cause;
    };
    const Case cases[] = {
        {"empty.mdb", QByteArray(), "it is not a Jet database"},
        {"text.mdb", QByteArray("Company;Address\r\n"), "it is not a Jet database"},
        {"engine.mdb", QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0'),
         "it is not a Jet database"},
        {"header-only.mdb", jet.left(64),
         "its list of tables cannot be read (the file is damaged, or encrypted in a way "
         "this system cannot read)"},
        {"first-page.mdb", jet.left(4096),
         "its list of tables cannot be read (the file is damaged, or encrypted in a "
         "way this system cannot read)"},
    };
    for (const Case& c : cases) {
        const QString source = path(QString::fromLatin1(c.name));
        Fixtures::writeAll(source, c.bytes);
        const QString target = path(QStringLiteral("converted.db"));
        EXPECT_EQ(failureOf(source, target),
                  QStringLiteral("'%1' was not converted: The Jet database '%1' cannot be read: %2.")
                      .arg(source, QString::fromLatin1(c.cause))
                      .toStdString())
            << c.name;
        EXPECT_FALSE(QFile::exists(target)) << c.name;
        EXPECT_EQ(Fixtures::readAll(source), c.bytes) << c.name;
        QFile::remove(source);
    }
    EXPECT_EQ(entries(dir.path()), QStringList{});
}

TEST_F(ImportFailureTest, ATruncatedJetFileFailsWithoutLeavingAFile)
{
    const QByteArray jet = Fixtures::readAll(QStringLiteral(JET_SAMPLES "/nwind.mdb"));
    for (const qsizetype size : {qsizetype(65536), jet.size() / 2}) {
        const QString source = path(QStringLiteral("cut.mdb"));
        Fixtures::writeAll(source, jet.left(size));
        const std::string failure = failureOf(source, path(QStringLiteral("cut.db")));
        EXPECT_EQ(failure.rfind("'" + source.toStdString() + "' was not converted: ", 0), 0u) << failure;
        EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("cut.mdb")}) << size;
        QFile::remove(source);
    }
}

TEST_F(ImportFailureTest, AMissingSourceIsNamed)
{
    const QString source = path(QStringLiteral("nowhere.mdb"));
    EXPECT_EQ(failureOf(source, path(QStringLiteral("x.db"))),
              QStringLiteral(
                  "'%1' was not converted: The Jet database '%1' cannot be read: the file does not exist.")
                  .arg(source)
                  .toStdString());
    EXPECT_EQ(entries(dir.path()), QStringList{});
}

TEST_F(ImportFailureTest, AFullDiskRemovesTheHalfMadeFileAndKeepsTheSource)
{
    const QString source = copySample(dir.path(), QStringLiteral("nwind.mdb"));
    const QByteArray before = Fixtures::readAll(source);
    const QString target = path(QStringLiteral("nwind.db"));
    const int status = ChildProcess::run([&] {
        // No file may grow beyond 256 KB: the new database hits the limit as a full disk would.
        rlimit limit{256 * 1024, 256 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
            return 90;
        try {
            JetImport::importDatabase(source, target, options());
        } catch (const AppError& error) {
            return error.description().contains(QStringLiteral("was not converted")) ? 0 : 91;
        }
        return 92;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("nwind.mdb")});
    EXPECT_TRUE(Fixtures::readAll(source) == before);
}

TEST_F(ImportFailureTest, TwoImportsIntoOneTargetAtOnceLeaveOneWholeFile)
{
    const QString source = copySample(dir.path(), QStringLiteral("nwind.mdb"));
    const QString target = path(QStringLiteral("nwind.db"));
    const auto import = [&] {
        try {
            JetImport::importDatabase(source, target, options());
            return 0;
        } catch (const AppError& error) {
            return error.description().contains(QStringLiteral("exists already")) ? 1 : 2;
        }
    };
    const pid_t first = ChildProcess::start(import);
    const pid_t second = ChildProcess::start(import);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    const int a = ChildProcess::wait(first);
    const int b = ChildProcess::wait(second);
    EXPECT_EQ(a + b, 1) << a << " " << b; // one wrote it, the other found it there
    EXPECT_EQ(entries(dir.path()), (QStringList{QStringLiteral("nwind.db"), QStringLiteral("nwind.mdb")}));
    EXPECT_EQ(shellLines(target, QStringLiteral("SELECT count(*) FROM Orders;")),
              QStringList{QStringLiteral("830")});
}

TEST_F(ImportFailureTest, AnUnreadableSourceOrAReadOnlyTargetFolderIsAClearError)
{
    const QString sources = path(QStringLiteral("sources"));
    const QString targets = path(QStringLiteral("targets"));
    QDir().mkpath(sources);
    QDir().mkpath(targets);
    const QString readable = copySample(sources, QStringLiteral("DateTestDatabase.mdb"));
    const QString unreadable =
        copySample(sources, QStringLiteral("DateTestDatabase.mdb"), QStringLiteral("locked.mdb"));
    QFile::setPermissions(unreadable, QFile::WriteOwner);
    QFile::setPermissions(targets, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(sources, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                       QFile::WriteOther | QFile::ExeOther);
    Unprivileged::makeReachable(sources);
    Unprivileged::makeReachable(targets);

    const int status = Unprivileged::run([&] {
        const auto failure = [&](const QString& source, const QString& target) -> QString {
            try {
                JetImport::importDatabase(source, target, options());
            } catch (const AppError& error) {
                return error.description();
            }
            return QStringLiteral("(no failure)");
        };
        const QString locked = failure(unreadable, sources + QStringLiteral("/locked.db"));
        if (locked !=
            QStringLiteral("'%1' was not converted: The Jet database '%1' cannot be read: Permission denied.")
                .arg(unreadable))
            return 10;
        const QString readOnly = failure(readable, targets + QStringLiteral("/dates.db"));
        if (!readOnly.startsWith(QStringLiteral("'%1' was not converted: ").arg(readable)) ||
            !readOnly.contains(QStringLiteral("ermission denied")))
            return 11;
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(entries(sources),
              (QStringList{QStringLiteral("DateTestDatabase.mdb"), QStringLiteral("locked.mdb")}));
    EXPECT_EQ(entries(targets), QStringList{});
}

TEST_F(ImportFailureTest, ValuesTheEngineCannotHoldExactlyAreDifferences)
{
    using JetImport::ColumnKind;
    JetImport::JetColumn currency;
    currency.kind = ColumnKind::Currency;
    JetImport::JetColumn decimal;
    decimal.kind = ColumnKind::Decimal;
    decimal.precision = 28;
    decimal.scale = 2;
    JetImport::JetColumn text;
    text.kind = ColumnKind::Text;
    JetImport::JetColumn whole;
    whole.kind = ColumnKind::Long;
    struct Case
    {
        const JetImport::JetColumn& column;
        QVariant read;
        QVariant stored;
        bool same;
    };
    const Case cases[] = {
        {currency, QStringLiteral("12.7500"), 12.75, true},
        {currency, QStringLiteral("0.1000"), 0.1, true},
        {currency, QStringLiteral("14.0000"), qlonglong(14), true},
        {currency, QStringLiteral("99999999999.9999"),
         JetImport::storedValue(currency, QStringLiteral("99999999999.9999")), true},
        // Beyond fifteen digits the stored number is not the amount: the import must fail, not round.
        {currency, QStringLiteral("922337203685477.5807"),
         JetImport::storedValue(currency, QStringLiteral("922337203685477.5807")), false},
        {decimal, QStringLiteral("12345678901234567890123456.78"),
         JetImport::storedValue(decimal, QStringLiteral("12345678901234567890123456.78")), false},
        {currency, QStringLiteral("12.7500"), QStringLiteral("12.7500"), false},
        {text, QString(), QVariant(), false}, // an empty text is not Null
        {text, QVariant(), QVariant(), true},
        {text, QStringLiteral("1"), qlonglong(1), false},
        {whole, qlonglong(7), qlonglong(7), true},
        {whole, qlonglong(7), 7.0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JetImport::sameValue(c.column, c.read, c.stored), c.same)
            << c.read.toString().toStdString() << " / " << c.stored.toString().toStdString();
}

TEST_F(ImportFailureTest, TheCheckFindsEveryKindOfDifferenceInTheWrittenDatabase)
{
    // A database converted whole, then changed behind the import's back: the check must name the change.
    // DateTest numbers its rows in read order; Categories is keyed by its Counter.
    struct Case
    {
        const char* sample;
        const char* change;
        QString found;
    };
    const Case cases[] = {
        {"DateTestDatabase.mdb", "UPDATE DateTest SET ShortTextCol = 'Hallo' WHERE rowid = 1",
         QStringLiteral(
             "row 1 of table 'DateTest', column 'ShortTextCol' holds 'Hallo' where 'Hello' was read")},
        {"DateTestDatabase.mdb", "DELETE FROM DateTest WHERE rowid = 3",
         QStringLiteral("row 3 of table 'DateTest' is missing")},
        {"DateTestDatabase.mdb", "INSERT INTO DateTest (IDCol) VALUES (7)",
         QStringLiteral("table 'DateTest' holds 7 rows where 6 were read")},
        {"nwind.mdb", "DELETE FROM Categories WHERE CategoryID = 2",
         QStringLiteral("row 2 of table 'Categories' is missing")},
        {"nwind.mdb", "UPDATE Categories SET CategoryName = 'Drinks' WHERE CategoryID = 1",
         QStringLiteral(
             "row 1 of table 'Categories', column 'CategoryName' holds 'Drinks' where 'Beverages' was read")},
        {"nwind.mdb", "DROP TABLE Shippers", QStringLiteral("table 'Shippers' is missing")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        QTemporaryDir caseDir;
        const QString source = copySample(caseDir.path(), QString::fromLatin1(c.sample));
        const QString target = caseDir.filePath(QStringLiteral("converted.db"));
        ASSERT_NO_THROW(JetImport::importDatabase(source, target, options()));
        const OpenedDatabase opened = openDatabase(ConnectionTarget{target, Password});
        Sqlite::exec(opened.db.get(), QString::fromLatin1(c.change), target);
        QString failure = QStringLiteral("(no difference found)");
        try {
            JetImport::compareWithSource(source, opened.db.get(), target, options());
        } catch (const AppError& error) {
            failure = error.description();
        }
        EXPECT_EQ(failure.toStdString(),
                  QStringLiteral("the check of the new database found a difference: %1")
                      .arg(c.found)
                      .toStdString());
    }
}

TEST_F(ImportFailureTest, AValueThatCannotBeReadFailsTheFileNamingRowAndColumn)
{
    // The first row of DateTest (its data page is page 20, the row at offset 0xFBF) gets a date of three
    // million days, beyond the year 9999: the reading fails on that row, in the middle of the table.
    const QString source = copySample(dir.path(), QStringLiteral("DateTestDatabase.mdb"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const qint64 dateOfFirstRow = 20 * 4096 + 0xFBF + 2 + 4; // after the column count and IDCol
        ASSERT_TRUE(file.seek(dateOfFirstRow));
        char bytes[8];
        qToLittleEndian(3000000.0, bytes);
        ASSERT_EQ(file.write(bytes, 8), 8);
    }
    EXPECT_EQ(
        failureOf(source, path(QStringLiteral("dates.db"))),
        QStringLiteral("'%1' was not converted: The Jet database '%1' cannot be read: row 1 of table "
                       "'DateTest', column 'DateTimeCol': the date value 3000000 lies outside the years 100 "
                       "to 9999.")
            .arg(source)
            .toStdString());
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("DateTestDatabase.mdb")});
}

} // namespace

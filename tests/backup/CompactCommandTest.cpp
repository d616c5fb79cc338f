#include "shared/AppFolder.h"
#include "tests/backup/BackupFixture.h"
#include "tests/support/Fixtures.h"
#include "tests/support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The command keeps its temporary copy in its program's folder, so each test runs its own copy of the
// program: tests running side by side would otherwise find the other's compaction in progress.
class CompactCommand : public BackupFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("program"))));
        ASSERT_TRUE(QFile::copy(programFolder() + QStringLiteral("/vaultkeep"),
                                path(QStringLiteral("program/vaultkeep"))));
    }
    QString database() const { return appFolder + QStringLiteral("/CompanyData/1/1.mdb"); }
    ProgramRun compact(const QStringList& arguments, const QByteArray& input)
    {
        return vaultkeepAt(path(QStringLiteral("program/vaultkeep")),
                           QStringList{QStringLiteral("compact")} + arguments + QStringList{database()},
                           input);
    }
};

// The password never comes from the command line; a missing, empty or wrong one fails naming the file and
// leaves the database as it was.
TEST_F(CompactCommand, APasswordThatIsMissingEmptyOrWrongFailsAndTheDatabaseStaysAsItWas)
{
    const QString missing = path(QStringLiteral("no such password"));
    const QString empty = path(QStringLiteral("empty password"));
    const QString wrong = path(QStringLiteral("wrong password"));
    Fixtures::writeAll(empty, "\n");
    Fixtures::writeAll(wrong, "Marigold\n");
    struct Case
    {
        const char* what;
        QStringList arguments;
        QByteArray input;
        QString said;
    };
    const QList<Case> cases{
        {"missing file",
         {QStringLiteral("--password-file"), missing},
         {},
         QStringLiteral("The password file '%1' does not exist.").arg(missing)},
        {"empty file",
         {QStringLiteral("--password-file"), empty},
         {},
         QStringLiteral("The password file '%1' is empty: its first line is the password.").arg(empty)},
        {"empty input",
         {QStringLiteral("--password-stdin")},
         "\n",
         QStringLiteral("No password came on standard input.")},
        {"wrong password",
         {QStringLiteral("--password-file"), wrong},
         {},
         QStringLiteral("'%1' did not open: it is protected and the password is wrong.").arg(database())},
        {"no password",
         {},
         {},
         QStringLiteral("'%1' did not open: it is protected and the password is missing.").arg(database())},
    };
    const QByteArray before = Fixtures::readAll(database());
    for (const Case& c : cases) {
        const ProgramRun run = compact(c.arguments, c.input);
        ASSERT_TRUE(run.finished) << c.what;
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_EQ(QString::fromUtf8(run.err),
                  QStringLiteral("vaultkeep compact: ") + c.said + QLatin1Char('\n'))
            << c.what;
        EXPECT_TRUE(run.out.isEmpty()) << c.what;
        EXPECT_EQ(Fixtures::readAll(database()), before) << c.what;
    }
}

TEST_F(CompactCommand, TheRightPasswordFromAFileOrStandardInputCompactsTheDatabaseInPlace)
{
    const QString file = path(QStringLiteral("password"));
    Fixtures::writeAll(file, AppFolder::CommonPassword.toUtf8() + "\r\n");
    // Free pages for the compaction to drop.
    Fixtures::sqlcipherShell(
        database(),
        QStringLiteral("create table bulk(v); insert into bulk select randomblob(4000) from "
                       "(with recursive c(x) as (select 1 union all select x+1 from c where "
                       "x<200) select x from c); drop table bulk;"),
        AppFolder::CommonPassword);
    const qint64 grown = QFileInfo(database()).size();
    struct Case
    {
        QStringList arguments;
        QByteArray input;
    };
    for (const Case& c :
         {Case{{QStringLiteral("--password-file"), file}, {}},
          Case{{QStringLiteral("--password-stdin")}, AppFolder::CommonPassword.toUtf8() + "\n"}}) {
        const qint64 size = QFileInfo(database()).size();
        const ProgramRun run = compact(c.arguments, c.input);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        EXPECT_TRUE(QRegularExpression(
                        QStringLiteral("^compact %1: %2 -> [0-9]+ bytes, [0-9.]+ s, compacted and checked\n$")
                            .arg(QRegularExpression::escape(database()))
                            .arg(size))
                        .match(QString::fromUtf8(run.out))
                        .hasMatch())
            << run.out.toStdString();
        EXPECT_EQ(Fixtures::sqlcipherShell(database(), QStringLiteral("pragma integrity_check;"),
                                           AppFolder::CommonPassword),
                  QStringLiteral("ok"));
    }
    EXPECT_LT(QFileInfo(database()).size(), grown);
}

} // namespace

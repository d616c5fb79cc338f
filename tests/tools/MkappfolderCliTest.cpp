#include "shared/AppFolder.h"
#include "tests/tools/ToolsTestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ToolsTest;

namespace {

QString mkappfolder()
{
    return joinPath({binDir(), QStringLiteral("mkappfolder")});
}

// A failure is one line on stderr, "mkappfolder: <why>", and status 1.
void expectOneLineFailure(const ProgramRun& run)
{
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitStatus, QProcess::NormalExit);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_TRUE(run.err.startsWith("mkappfolder: ")) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.endsWith('\n')) << run.err.toStdString();
    EXPECT_GT(run.err.trimmed().size(), int(sizeof("mkappfolder: ")) + 5) << run.err.toStdString();
}

} // namespace

TEST(MkappfolderCli, HelpNamesTheOptionsAndSucceeds)
{
    QTemporaryDir tmp;
    const ProgramRun run = runProgram(mkappfolder(), {QStringLiteral("--help")}, tmp.path());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"--legacy-master", "--companies", "DIR", "32767"})
        EXPECT_TRUE(run.out.contains(word)) << word << "\n" << run.out.toStdString();
    EXPECT_EQ(entryNames(tmp.path()), QStringList());
}

TEST(MkappfolderCli, WrongUsageFailsWithOneLineAndWritesNothing)
{
    const std::vector<QStringList> cases{
        {},
        {QStringLiteral("one"), QStringLiteral("two")},
        {QStringLiteral("--companies"), QStringLiteral("abc"), QStringLiteral("app")},
        {QStringLiteral("--companies"), QStringLiteral("-1"), QStringLiteral("app")},
        {QStringLiteral("--companies"), QStringLiteral("32768"), QStringLiteral("app")},
        {QStringLiteral("--companies"), QStringLiteral("2.5"), QStringLiteral("app")},
        {QStringLiteral("--bogus"), QStringLiteral("app")},
        {QStringLiteral("app"), QStringLiteral("--companies")},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        QTemporaryDir tmp;
        const ProgramRun run = runProgram(mkappfolder(), arguments, tmp.path());
        expectOneLineFailure(run);
        EXPECT_EQ(entryNames(tmp.path()), QStringList());
    }
}

TEST(MkappfolderCli, LaysOutARelativeFolderAsAnAbsoluteOneCreatingItsParents)
{
    struct Case
    {
        QStringList options;
        int configValueSize;
        int companies;
    };
    const std::vector<Case> cases{
        {{QStringLiteral("--companies"), QStringLiteral("3")}, 255, 3},
        {{QStringLiteral("--legacy-master"), QStringLiteral("--companies=2")}, 50, 2},
        {{}, 255, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(QLatin1Char(' ')).toStdString());
        QTemporaryDir tmp;
        const ProgramRun run = runProgram(
            mkappfolder(), c.options + QStringList{QStringLiteral("nested/deeper/app")}, tmp.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.err, QByteArray());

        const QString dir = joinPath({QFileInfo(tmp.path()).canonicalFilePath(), QStringLiteral("nested"),
                                      QStringLiteral("deeper"), QStringLiteral("app")});
        Connection master;
        master.setCursorLocation(Ado::UseClient);
        master.open(AppFolder::MasterDataLinkReference(dir));
        EXPECT_EQ(master.databasePath(), joinPath({dir, AppFolder::MasterDatabaseName}));
        EXPECT_EQ(scalar(master, QStringLiteral("select count(*) from Company")), c.companies);
        Recordset config;
        config.open(QStringLiteral("select * from Config_Data"), master);
        EXPECT_EQ(config.definedSize(QStringLiteral("Config_Value")), c.configValueSize);
        config.close();
        if (c.configValueSize == 255) {
            const auto path = rows(master, QStringLiteral("select Config_Value from Config_Data where "
                                                          "Config_Head = 'DatabasePath'"));
            ASSERT_EQ(path.size(), 1);
            EXPECT_EQ(path.first().first().toString(), dir);
        }
        EXPECT_EQ(
            QFileInfo::exists(joinPath({dir, QStringLiteral("CompanyData"), QString::number(c.companies),
                                        QString::number(c.companies) + QStringLiteral(".mdb")})),
            c.companies > 0);
    }
}

TEST(MkappfolderCli, ASecondRunOverTheSameFolderIsRefusedAndChangesNothing)
{
    QTemporaryDir tmp;
    const QString dir = joinPath({tmp.path(), QStringLiteral("app")});
    const ProgramRun first =
        runProgram(mkappfolder(), {QStringLiteral("--companies"), QStringLiteral("2"), dir});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const auto before = snapshot(dir);

    const ProgramRun second =
        runProgram(mkappfolder(), {QStringLiteral("--companies"), QStringLiteral("5"), dir});
    expectOneLineFailure(second);
    EXPECT_TRUE(QString::fromUtf8(second.err).contains(joinPath({dir, QStringLiteral("MCLarkspur.mdb")})))
        << second.err.toStdString();
    EXPECT_EQ(differences(before, snapshot(dir)), QStringList());
}

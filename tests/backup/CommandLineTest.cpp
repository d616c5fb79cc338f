#include "tests/backup/BackupFixture.h"

#include <QDir>

namespace {

class CommandLine : public BackupFixture
{};

TEST_F(CommandLine, HelpListsEveryCommandAndRunsWithoutADisplay)
{
    for (const QString& asked : {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("help")}) {
        const ProgramRun run = vaultkeep({asked});
        ASSERT_TRUE(run.finished) << asked.toStdString();
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        for (const char* line :
             {"vaultkeep backup [--overwrite] [--keep N] APP_FOLDER [TARGET_FOLDER]",
              "vaultkeep verify BACKUP_FOLDER", "vaultkeep restore [--overwrite] BACKUP_FOLDER APP_FOLDER",
              "vaultkeep compact [--password-file FILE | --password-stdin] DATABASE_FILE"})
            EXPECT_TRUE(run.out.contains(line)) << line << "\n" << run.out.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
    const ProgramRun one = vaultkeep({QStringLiteral("backup"), QStringLiteral("--help")});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_TRUE(one.out.startsWith("Usage: vaultkeep backup [--overwrite]")) << one.out.toStdString();
}

// Wrong usage: exit code 2, one line on standard error that says what is wrong, and nothing written.
TEST_F(CommandLine, WrongUsageExitsWithTwoAndOneLineAndWritesNothing)
{
    const QString app = appFolder;
    const QString backup = path(QStringLiteral("saved"));
    const QString database = appFolder + QStringLiteral("/CompanyData/1/1.mdb");
    struct Case
    {
        QStringList arguments;
        QByteArray said;
    };
    const QList<Case> cases{
        {{QStringLiteral("frobnicate")}, "vaultkeep: unknown command 'frobnicate'."},
        {{QStringLiteral("--verbose")}, "vaultkeep: unknown command '--verbose'."},
        {{QStringLiteral("backup")}, "vaultkeep backup: missing APP_FOLDER [TARGET_FOLDER]."},
        {{QStringLiteral("backup"), app, backup, QStringLiteral("more")},
         "vaultkeep backup: too many arguments: 'more' is one more than APP_FOLDER [TARGET_FOLDER]."},
        {{QStringLiteral("backup"), QStringLiteral("--quick"), app},
         "vaultkeep backup: unknown option '--quick'."},
        {{QStringLiteral("backup"), QStringLiteral("--keep"), QStringLiteral("0"), app},
         "vaultkeep backup: --keep needs a whole number of backups of at least 1, not '0'."},
        {{QStringLiteral("backup"), QStringLiteral("--keep=-3"), app},
         "vaultkeep backup: --keep needs a whole number of backups of at least 1, not '-3'."},
        {{QStringLiteral("backup"), QStringLiteral("--keep"), QStringLiteral("two"), app},
         "vaultkeep backup: --keep needs a whole number of backups of at least 1, not 'two'."},
        {{QStringLiteral("backup"), app, QStringLiteral("--keep")},
         "vaultkeep backup: --keep needs a value."},
        {{QStringLiteral("verify")}, "vaultkeep verify: missing BACKUP_FOLDER."},
        {{QStringLiteral("verify"), backup, backup},
         "vaultkeep verify: too many arguments: '" + backup.toUtf8() + "' is one more than BACKUP_FOLDER."},
        {{QStringLiteral("restore"), backup}, "vaultkeep restore: missing BACKUP_FOLDER APP_FOLDER."},
        {{QStringLiteral("restore"), QStringLiteral("--force"), backup, app},
         "vaultkeep restore: unknown option '--force'."},
        {{QStringLiteral("compact")}, "vaultkeep compact: missing DATABASE_FILE."},
        {{QStringLiteral("compact"), QStringLiteral("--password"), QStringLiteral("secret"), database},
         "vaultkeep compact: unknown option '--password'."},
        {{QStringLiteral("compact"), QStringLiteral("--password-stdin"), QStringLiteral("--password-file"),
          backup, database},
         "vaultkeep compact: give either --password-file or --password-stdin, not both."},
    };
    const auto before = FolderContents::take(root);
    for (const Case& c : cases) {
        const ProgramRun run = vaultkeep(c.arguments);
        const std::string what = c.arguments.join(QLatin1Char(' ')).toStdString();
        ASSERT_TRUE(run.finished) << what;
        EXPECT_EQ(run.exitStatus, QProcess::NormalExit) << what;
        EXPECT_EQ(run.exitCode, 2) << what;
        EXPECT_EQ(run.err, c.said + " Try 'vaultkeep --help'.\n") << what;
        EXPECT_TRUE(run.out.isEmpty()) << what;
    }
    EXPECT_EQ(FolderContents::differences(before, FolderContents::take(root)), QStringList{});
}

} // namespace

#include "maintenance/cli/QuietOutput.h"
#include "shared/AppFolder.h"
#include "tests/backup/BackupFixture.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SqlcipherShell.h"

#include <QCryptographicHash>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

class ImportCommand : public BackupFixture
{
protected:
    // A copy of a sample Jet file in the test's folder, so that nothing shared is ever at risk.
    QString sample(const QString& name)
    {
        const QString copy = path(name);
        EXPECT_TRUE(QFile::copy(QStringLiteral(JET_SAMPLES "/") + name, copy));
        return copy;
    }
    static QByteArray digest(const QString& file)
    {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            return {};
        return QCryptographicHash::hash(in.readAll(), QCryptographicHash::Sha256);
    }
};

TEST_F(ImportCommand, AJetFileBecomesAProtectedDatabaseAndTheSourceStaysAsItWas)
{
    const QString source = sample(QStringLiteral("DateTestDatabase.mdb"));
    const QByteArray before = digest(source);
    const QString target = path(QStringLiteral("dates.mdb"));

    const ProgramRun run = vaultkeep({QStringLiteral("import"), source, target});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(digest(source), before);
    // Quiet off a terminal: what was not converted, one line each, then the one summary line naming both
    // files.
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().startsWith("import " + source.toUtf8() + " -> " + target.toUtf8()))
        << run.out.toStdString();
    EXPECT_TRUE(lines.last().endsWith(", checked")) << run.out.toStdString();
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith("not converted: ")) << lines[i].toStdString();

    // An independent reader opens it with the common password and finds the table and its rows.
    const ShellResult read =
        runSqlcipherShell(target, QStringLiteral("PRAGMA key='%1';\nSELECT count(*) > 0 FROM DateTest;\n")
                                      .arg(AppFolder::CommonPassword));
    EXPECT_EQ(read.exitCode, 0) << read.errors.toStdString();
    EXPECT_EQ(read.output.trimmed(), QStringLiteral("1"))
        << read.output.toStdString() << read.errors.toStdString();
}

TEST_F(ImportCommand, RefusalsSayWhyOnOneLineAndLeaveEveryFileAsItWas)
{
    const QString source = sample(QStringLiteral("DateTestDatabase.mdb"));
    const QString existing = path(QStringLiteral("taken.mdb"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the books already here");
    }
    const QByteArray existingBefore = digest(existing);
    struct Case
    {
        QStringList arguments;
        int exitCode;
        QByteArray named; // what the one line on standard error must name
    };
    const QList<Case> cases{
        {{QStringLiteral("import"), source, existing}, 1, existing.toUtf8()},
        {{QStringLiteral("import"), path(QStringLiteral("missing.mdb")), path(QStringLiteral("new.mdb"))},
         1,
         path(QStringLiteral("missing.mdb")).toUtf8()},
        {{QStringLiteral("import"), source}, 2, "SOURCE TARGET"},
        {{QStringLiteral("import"), QStringLiteral("--code-page"), QStringLiteral("thai"), source,
          path(QStringLiteral("new.mdb"))},
         2,
         "thai"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const ProgramRun run = vaultkeep(c.arguments);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.named)) << run.err.toStdString();
        EXPECT_EQ(digest(existing), existingBefore);
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("new.mdb"))));
    }
}

TEST_F(ImportCommand, ADamagedJetFileGivesOnlyTheCommandsOneLine)
{
    // The reading library remarks on every page it cannot find; none of that may reach the user.
    const QString whole = sample(QStringLiteral("nwind.mdb"));
    QFile in(whole);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    struct Case
    {
        const char* name;
        qsizetype size;
    };
    const Case cases[] = {
        {"cut-early.mdb", 65536}, {"cut-half.mdb", bytes.size() / 2}, {"first-page.mdb", 4096}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = path(QString::fromLatin1(c.name));
        {
            QFile out(source);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            ASSERT_EQ(out.write(bytes.left(c.size)), c.size);
        }
        const QString target = path(QStringLiteral("converted.db"));
        const ProgramRun run = vaultkeep({QStringLiteral("import"), source, target});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith("vaultkeep import: '" + source.toUtf8() + "' was not converted: "))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith(".\n")) << run.err.toStdString();
        EXPECT_EQ(run.out, QByteArray());
        EXPECT_FALSE(QFile::exists(target));
    }
}

TEST(QuietOutput, SendsTheOutputNowhereButTheCommandsOwnText)
{
    QTemporaryDir dir;
    const QString outFile = dir.filePath(QStringLiteral("stdout.txt"));
    const QString errFile = dir.filePath(QStringLiteral("stderr.txt"));
    const int status = ChildProcess::run([&] {
        for (const auto& [file, fd] :
             {std::pair{outFile, STDOUT_FILENO}, std::pair{errFile, STDERR_FILENO}}) {
            const int opened =
                ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (opened < 0 || ::dup2(opened, fd) < 0)
                return 90;
            ::close(opened);
        }
        std::fputs("before\n", stdout);
        std::fputs("before\n", stderr);
        {
            QuietOutput quiet;
            std::fputs("noise 1\n", stderr);
            std::fputs("noise 1\n", stdout);
            if (::write(STDERR_FILENO, "noise 2\n", 8) != 8 || ::write(STDOUT_FILENO, "noise 2\n", 8) != 8)
                return 91;
            quiet.speak([] { std::fputs("progress\n", stderr); });
            std::fputs("noise 3\n", stdout);
            quiet.end();
            std::fputs("summary\n", stdout);
        }
        std::fputs("after\n", stderr);
        std::fflush(stdout);
        std::fflush(stderr);
        return 0;
    });
    ASSERT_EQ(status, 0);
    for (const auto& [file, expected] : {std::pair{outFile, QByteArray("before\nsummary\n")},
                                         std::pair{errFile, QByteArray("before\nprogress\nafter\n")}}) {
        QFile read(file);
        ASSERT_TRUE(read.open(QIODevice::ReadOnly));
        EXPECT_EQ(read.readAll(), expected) << file.toStdString();
    }
}

} // namespace

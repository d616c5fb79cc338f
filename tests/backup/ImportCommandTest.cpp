#include "shared/AppFolder.h"
#include "tests/backup/BackupFixture.h"
#include "tests/support/SqlcipherShell.h"

#include <QCryptographicHash>
#include <QFile>

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

} // namespace

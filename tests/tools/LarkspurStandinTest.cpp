#include "base/AppError.h"
#include "engine/DataLinkFile.h"
#include "shared/AppFolder.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace ToolsTest;

namespace {

constexpr int TemplateTables = 5;

// An application folder as an installed copy has it: the data laid out by the folder maker and a copy of
// the built Larkspur.exe beside it, so that the program's own folder is the one under test.
class LarkspurStandin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        root = QFileInfo(tmp.path()).canonicalFilePath();
        app = joinPath({root, QStringLiteral("app")});
        AppFolderMaker::make(app, {false, 3});
        program = joinPath({app, QStringLiteral("Larkspur.exe")});
        ASSERT_TRUE(QFile::copy(joinPath({binDir(), QStringLiteral("Larkspur.exe")}), program));
        recordFile = joinPath({root, QStringLiteral("record.txt")});
    }

    QString companyFile(int id) const
    {
        const QString n = QString::number(id);
        return joinPath({app, QStringLiteral("CompanyData"), n, n + QStringLiteral(".mdb")});
    }
    QString dataLink() const { return joinPath({app, QStringLiteral("datalink.udl")}); }
    void chooseCompany(int id) const
    {
        DataLinkFile::write(dataLink(), AppFolder::JetConnectionString(companyFile(id)));
    }

    QStringList recordLines() const
    {
        return QString::fromUtf8(readBytes(recordFile)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    ProgramRun runRecorded(const QStringList& arguments, const QString& workingFolder)
    {
        QFile::remove(recordFile);
        return runProgram(program, arguments, workingFolder,
                          {{QStringLiteral("LARKSPUR_RECORD"), recordFile}});
    }

    QTemporaryDir tmp;
    QString root;
    QString app;
    QString program;
    QString recordFile;
};

// Whether another program may take the whole database file for itself right now (what a compaction or a
// restore over it does first).
bool exclusivelyLockable(const QString& file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return locked;
}

} // namespace

TEST_F(LarkspurStandin, RecordsItsArgumentsWorkingFolderAndTheCompanyDatabaseItOpened)
{
    struct Case
    {
        QStringList arguments;
        QString workingFolder; // relative to the temporary root; "app" is the application folder
        int company;
    };
    const std::vector<Case> cases{
        {{QStringLiteral("somchai"), QStringLiteral("s3cret")}, QStringLiteral("app"), 2},
        {{}, QStringLiteral("elsewhere"), 3},
        {{QStringLiteral("สมชาย"), QStringLiteral("pass word"), QStringLiteral("C:\\data")},
         QStringLiteral("app"),
         1},
    };
    QDir().mkpath(joinPath({root, QStringLiteral("elsewhere")}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char('|')).toStdString());
        chooseCompany(c.company);
        const QString cwd = joinPath({root, c.workingFolder});
        const ProgramRun run = runRecorded(c.arguments, cwd);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitStatus, QProcess::NormalExit);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

        QStringList expected;
        for (const QString& argument : c.arguments)
            expected.append(QStringLiteral("arg=") +
                            QString(argument).replace(QStringLiteral("\\"), QStringLiteral("\\\\")));
        expected.append(QStringLiteral("cwd=") + cwd);
        expected.append(QStringLiteral("database=") + companyFile(c.company));
        expected.append(QStringLiteral("company_tables=") + QString::number(TemplateTables));
        EXPECT_EQ(recordLines(), expected);
    }
}

TEST_F(LarkspurStandin, ABrokenDataLinkIsRecordedAsAnErrorWithoutACrash)
{
    struct Case
    {
        const char* name;
        std::function<void()> prepare;
        QString inError;
    };
    const std::vector<Case> cases{
        {"no datalink.udl", [] {}, QStringLiteral("datalink.udl")},
        {"not a data-link file", [this] { writeBytes(dataLink(), "[oledb]\r\nProvider=nothing\r\n"); },
         QStringLiteral("datalink.udl")},
        {"database missing",
         [this] { DataLinkFile::write(dataLink(), AppFolder::JetConnectionString(companyFile(9))); },
         QStringLiteral("9.mdb")},
        {"wrong password",
         [this] {
             DataLinkFile::write(dataLink(), QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                                                 companyFile(1) +
                                                 QStringLiteral(";Jet OLEDB:Database Password=Lily"));
         },
         QString::number(ErrorNumber::WrongPassword)},
        {"another provider",
         [this] {
             DataLinkFile::write(dataLink(),
                                 QStringLiteral("Provider=SQLOLEDB.1;Data Source=") + companyFile(1));
         },
         QString::number(ErrorNumber::ProviderNotFound)},
        {"a file that is no database",
         [this] {
             writeBytes(companyFile(2), QByteArray(3000, 'z'));
             chooseCompany(2);
         },
         QString::number(ErrorNumber::Unspecified)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dataLink());
        c.prepare();
        const ProgramRun run = runRecorded({QStringLiteral("user"), QStringLiteral("pw")}, app);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitStatus, QProcess::NormalExit);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList lines = recordLines();
        ASSERT_EQ(lines.size(), 4) << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(lines.mid(0, 3), (QStringList{QStringLiteral("arg=user"), QStringLiteral("arg=pw"),
                                                QStringLiteral("cwd=") + app}));
        EXPECT_TRUE(lines.at(3).startsWith(QStringLiteral("error="))) << lines.at(3).toStdString();
        EXPECT_TRUE(lines.at(3).contains(c.inError)) << lines.at(3).toStdString();
    }
}

// The real application keeps its company database open while it runs, so the maintenance tool must find
// the file in use; the stand-in has to behave the same, recorded or with its window.
TEST_F(LarkspurStandin, HoldsTheCompanyDatabaseOpenWhileItRuns)
{
    struct Case
    {
        const char* name;
        QMap<QString, QString> environment;
    };
    const std::vector<Case> cases{
        {"recorded, holding",
         {{QStringLiteral("LARKSPUR_RECORD"), QString()},
          {QStringLiteral("LARKSPUR_HOLD_MS"), QStringLiteral("4000")}}},
        {"window", {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}}},
    };
    chooseCompany(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(exclusivelyLockable(companyFile(2)));
        QFile::remove(recordFile);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("LARKSPUR_RECORD"));
        for (auto it = c.environment.cbegin(); it != c.environment.cend(); ++it)
            environment.insert(it.key(),
                               it.key() == QStringLiteral("LARKSPUR_RECORD") ? recordFile : it.value());
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(app);
        QElapsedTimer clock;
        clock.start();
        process.start(program, {});
        ASSERT_TRUE(process.waitForStarted(30000));

        // Wait until it has opened the database: the lock appears.
        QDeadlineTimer deadline(30000);
        while (exclusivelyLockable(companyFile(2)) && !deadline.hasExpired() &&
               process.state() == QProcess::Running)
            QThread::msleep(50);
        EXPECT_FALSE(exclusivelyLockable(companyFile(2))) << process.readAllStandardError().toStdString();
        EXPECT_EQ(process.state(), QProcess::Running);

        if (c.environment.contains(QStringLiteral("LARKSPUR_HOLD_MS"))) {
            ASSERT_TRUE(process.waitForFinished(60000));
            EXPECT_GE(clock.elapsed(), 4000);
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
            EXPECT_TRUE(recordLines().contains(QStringLiteral("database=") + companyFile(2)));
        } else {
            EXPECT_FALSE(QFileInfo::exists(recordFile));
            process.terminate();
            ASSERT_TRUE(process.waitForFinished(30000));
        }
        EXPECT_TRUE(exclusivelyLockable(companyFile(2)));
    }
}

#include "maintenance/MaintenanceServices.h"
#include "maintenance/frmMain.h"
#include "platform/AppInfo.h"
#include "platform/doubles/RecordingFatalError.h"
#include "platform/doubles/RecordingScreen.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/doubles/ScriptedPickers.h"
#include "platform/fileop/ShellFileOperation.h"
#include "shared/AppFolder.h"
#include "tests/backup/BackupFixture.h"
#include "tests/support/Fixtures.h"
#include "tests/support/QtPrinters.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QThread>

namespace {

// Another program committing transactions of 100 rows into a company database, over and over, until
// stopped: the sqlcipher shell, with a busy timeout, as any SQLite writer.
class Writer
{
public:
    Writer(const QString& database, const QString& folder) : m_stop(folder + QStringLiteral("/stop"))
    {
        QString script = QStringLiteral("PRAGMA key='%1';\n.timeout 60000\n").arg(AppFolder::CommonPassword);
        for (int i = 0; i < 200; ++i)
            script +=
                QStringLiteral("BEGIN; INSERT INTO load(v) SELECT randomblob(40) FROM hundred; COMMIT;\n");
        const QString scriptPath = folder + QStringLiteral("/writer.sql");
        Fixtures::writeAll(scriptPath, script.toUtf8());
        m_process.setProgram(QStringLiteral("bash"));
        m_process.setArguments(
            {QStringLiteral("-c"),
             QStringLiteral("while [ ! -e \"$1\" ]; do sqlcipher \"$2\" < \"$3\" > /dev/null || "
                            "exit 1; done"),
             QStringLiteral("writer"), m_stop, database, scriptPath});
        m_process.start();
        m_process.waitForStarted(30000);
    }
    ~Writer() { stop(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool running() const { return m_process.state() == QProcess::Running; }
    // Stops it after its current run; its exit code (0 when every transaction committed).
    int stop()
    {
        Fixtures::writeAll(m_stop, "stop");
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(120000))
            m_process.kill();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QByteArray errors() { return m_process.readAllStandardError(); }

private:
    QString m_stop;
    QProcess m_process;
};

QString rowsAndCheck(const QString& database)
{
    return Fixtures::sqlcipherShell(database,
                                    QStringLiteral("pragma integrity_check; select count(*) from load;"),
                                    AppFolder::CommonPassword);
}

void prepareLoad(const QString& company)
{
    Fixtures::sqlcipherShell(
        company,
        QStringLiteral(
            "create table hundred(x); insert into hundred select x from (with recursive c(x) as (select 1 "
            "union all select x+1 from c where x<100) select x from c); create table load(id integer "
            "primary key, v blob); insert into load(v) select randomblob(1000) from hundred, hundred "
            "limit 3000;"),
        AppFolder::CommonPassword);
}

// Waits (with a deadline) until the writer has committed its first transaction.
bool writerUnderWay(const QString& company)
{
    const QDeadlineTimer started(60000);
    while (rowsAndCheck(company) == QStringLiteral("ok\n3000") && !started.hasExpired())
        QThread::msleep(20);
    return rowsAndCheck(company) != QStringLiteral("ok\n3000");
}

// The copy of the company database in a backup: whole, and a whole number of the writer's transactions.
// Returns its row count, or -1 after reporting what is wrong.
int checkedRows(const QString& copied, int run)
{
    const QStringList found = rowsAndCheck(copied).split(QLatin1Char('\n'));
    if (found.size() != 2 || found[0] != QStringLiteral("ok") || found[1].toInt() % 100 != 0) {
        ADD_FAILURE() << "run " << run << ": " << found.join(QLatin1Char('|')).toStdString();
        return -1;
    }
    EXPECT_FALSE(QFileInfo::exists(copied + QStringLiteral("-journal"))) << "run " << run;
    return found[1].toInt();
}

// Every backup made while a writer commits holds one committed state of the database: it passes the
// integrity check and holds a whole number of the writer's transactions.
TEST_F(BackupFixture, BackupsWhileAnotherProgramCommitsHoldOneCommittedStateEachTime)
{
    // A folder of one company: each backup checks fewer databases, and the writer's runs more often.
    const QString app = path(QStringLiteral("one company"));
    AppFolderMaker::make(app, {false, 1});
    const QString company = app + QStringLiteral("/CompanyData/1/1.mdb");
    prepareLoad(company);
    ASSERT_EQ(rowsAndCheck(company), QStringLiteral("ok\n3000"));
    Writer writer(company, root);
    ASSERT_TRUE(writer.running());
    ASSERT_TRUE(writerUnderWay(company)) << writer.errors().toStdString();

    QSet<int> states;
    for (int run = 1; run <= 20; ++run) {
        const QString target = path(QStringLiteral("runs/%1").arg(run));
        const ProgramRun backup = vaultkeep({QStringLiteral("backup"), app, target});
        ASSERT_EQ(backup.exitCode, 0) << "run " << run << ": " << backup.err.toStdString();
        const QStringList made =
            QDir(target).entryList({QStringLiteral("DB-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
        ASSERT_EQ(made.size(), 1) << "run " << run;
        const QString copied = target + QLatin1Char('/') + made[0] + QStringLiteral("/CompanyData/1/1.mdb");
        states.insert(checkedRows(copied, run));
    }
    EXPECT_EQ(writer.stop(), 0) << writer.errors().toStdString();
    // The writer went on committing between the backups: they saw different states.
    EXPECT_GT(states.size(), 1);
    EXPECT_EQ(rowsAndCheck(company).section(QLatin1Char('\n'), 0, 0), QStringLiteral("ok"));
}

// The window's backup button makes the command's backup: each copy of a database another program is
// committing to is one committed state, checked by the sqlcipher shell and by the command's verify.
TEST_F(BackupFixture, TheWindowsBackupWhileAnotherProgramCommitsHoldsOneCommittedStateEachTime)
{
    const QString company = appFolder + QStringLiteral("/CompanyData/1/1.mdb");
    prepareLoad(company);
    Writer writer(company, root);
    ASSERT_TRUE(writerUnderWay(company)) << writer.errors().toStdString();
    AppInfo app;
    app.folder = appFolder;
    app.productName = QStringLiteral("vaultkeep");
    app.fileName = QStringLiteral("vaultkeep");
    ScriptedMessageBox messages;
    RecordingFatalError fatal;
    RecordingScreenPointer screen;
    CountingEventPump events;
    ScriptedFolderPicker folders;
    ScriptedFileOpenDialog fileOpen;
    ScriptedFileOperationUi ui;
    ShellFileOperation files(ui);
    QDateTime now(QDate(2024, 1, 31), QTime(23, 59, 50));
    frmMain window({app, messages, fatal, screen, events, folders, fileOpen, files, ui, [&] {
                        return now;
                    }});
    window.show();
    QSet<int> states;
    for (int run = 1; run <= 5; ++run) {
        now = now.addSecs(1);
        const QString target = path(QStringLiteral("window/DB-2024013123595%1").arg(run));
        window.txtBackupTo->setText(target + QLatin1Char('/'));
        messages.clear();
        messages.queueAnswer(MsgResult::Yes);
        QTest::mouseClick(window.CmdBackup, Qt::LeftButton);
        ASSERT_EQ(messages.calls().size(), 2) << "run " << run;
        EXPECT_EQ(messages.calls()[1].text, QStringLiteral("Backup Database Completed..."))
            << "run " << run << ": " << messages.calls()[1].text.toStdString();
        EXPECT_EQ(vaultkeep({QStringLiteral("verify"), target}).exitCode, 0) << "run " << run;
        states.insert(checkedRows(target + QStringLiteral("/CompanyData/1/1.mdb"), run));
    }
    EXPECT_EQ(writer.stop(), 0) << writer.errors().toStdString();
    EXPECT_GT(states.size(), 1);
    EXPECT_EQ(hiddenBelow(path(QStringLiteral("window"))), QStringList{});
    EXPECT_FALSE(fatal.ended());
}

} // namespace

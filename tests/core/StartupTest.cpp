#include "engine/Convert.h"
#include "engine/Recordset.h"
#include "launcher/core/DataLinks.h"
#include "launcher/core/Global.h"
#include "launcher/core/MdlDAO.h"
#include "platform/AppInfo.h"
#include "platform/doubles/FixedInstanceGuard.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "shared/AppFolder.h"
#include "tests/support/Fixtures.h"
#include "tests/support/MasterFixture.h"
#include "tests/support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace {

class CountingLoginHost : public ILoginWindowHost
{
public:
    void createAndUnload() override { ++unloaded; }
    void showModeless() override { ++shown; }
    int unloaded = 0;
    int shown = 0;
};

class StartupTest : public MasterFixture
{
protected:
    void start(bool anotherRunning = false)
    {
        app.folder = dir.path();
        app.productName = QStringLiteral("companydesk");
        app.fileName = QStringLiteral("companydesk");
        app.major = 2;
        app.minor = 0;
        app.revision = 17;
        FixedInstanceGuard guard(anotherRunning);
        Global::Main(globals, StartupServices{app, settings, messages, guard, login});
    }
    QString masterSchema()
    {
        return Fixtures::sqlcipherShell(dir.filePath(QStringLiteral("MCLarkspur.mdb")),
                                        QStringLiteral("SELECT sql FROM sqlite_master ORDER BY name;"),
                                        AppFolder::CommonPassword);
    }
    QString configRows()
    {
        return Fixtures::sqlcipherShell(
            dir.filePath(QStringLiteral("MCLarkspur.mdb")),
            QStringLiteral("SELECT Config_Head || '=' || Config_Value FROM Config_Data ORDER BY rowid;"),
            AppFolder::CommonPassword);
    }

    AppInfo app;
    ScriptedMessageBox messages;
    CountingLoginHost login;
};

TEST_F(StartupTest, ASecondCopyShowsOneMessageUnloadsTheLoginWindowAndTouchesNothing)
{
    makeFolder();
    settings.save(QStringLiteral("standalone"), QStringLiteral("0"));
    start(true);
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(messages.calls()[0],
              (ScriptedMessageBox::Call{QStringLiteral("companydesk is already running!"), 48,
                                        QStringLiteral("Multiple Instances Forbidden")}));
    EXPECT_EQ(login.unloaded, 1);
    EXPECT_EQ(login.shown, 0);
    EXPECT_FALSE(globals.MasterConnection.isOpen());
    EXPECT_EQ(settings.get(QStringLiteral("standalone")), QStringLiteral("0"));
    EXPECT_FALSE(settings.contains(QStringLiteral("ServerPath")));
}

TEST_F(StartupTest, ASecondCopyWithoutProductNameUsesTheProgramFileName)
{
    makeFolder();
    app.productName.clear();
    app.folder = dir.path();
    app.fileName = QStringLiteral("companydesk.bin");
    FixedInstanceGuard guard(true);
    Global::Main(globals, StartupServices{app, settings, messages, guard, login});
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(messages.calls()[0].text, QStringLiteral("companydesk is already running!"));
}

TEST_F(StartupTest, ANormalStartResetsTheSettingsAndThePathRowAndShowsTheLoginWindow)
{
    makeFolder({false, 2});
    settings.save(QStringLiteral("ServerPath"), QStringLiteral("/elsewhere"));
    settings.save(QStringLiteral("standalone"), QStringLiteral("0"));
    sql(QStringLiteral(
        "update Config_Data set Config_Value = '/other/place' where Config_Head = 'DatabasePath'"));

    start();

    EXPECT_TRUE(messages.calls().isEmpty());
    EXPECT_EQ(login.shown, 1);
    EXPECT_EQ(globals.AppVersion, QStringLiteral("2.17"));
    EXPECT_EQ(globals.ServerPath, dir.path());
    EXPECT_EQ(globals.MasterConnectionString,
              QStringLiteral("FILE NAME=") + dir.path() + QStringLiteral("/MCdatalink.udl"));
    EXPECT_EQ(settings.get(QStringLiteral("ServerPath")), dir.path());
    EXPECT_EQ(settings.get(QStringLiteral("standalone")), QStringLiteral("1"));
    EXPECT_EQ(settings.get(QStringLiteral("IsFirstStart_UpdMCDBPath")), dir.path());
    EXPECT_EQ(MdlDAO::GetDatabasePath(globals), dir.path());
}

TEST_F(StartupTest, AnUpToDateMasterKeepsItsSchema)
{
    makeFolder({false, 1});
    const QString before = masterSchema();
    start();
    EXPECT_EQ(masterSchema(), before);
    EXPECT_EQ(configRows(),
              QStringLiteral("CurrentCompany=0\nDatabasePath=%1\nUseDefaultPath=1").arg(dir.path()));
}

TEST_F(StartupTest, AnOlderMasterIsBroughtUpToDateAndKeepsItsRows)
{
    makeFolder({true, 3});
    sql(QStringLiteral(
        "update Config_Data set Config_Value = 'fifty-character-value-that-fits-the-old-column-xx' "
        "where Config_Head = 'CurrentCompany'"));
    start();

    EXPECT_TRUE(MdlDAO::ColumnExists(globals, QStringLiteral("Company"), QStringLiteral("Database_Path")));
    EXPECT_EQ(MdlDAO::GetColumnSize(globals, QStringLiteral("Config_Data"), QStringLiteral("Config_Value")),
              255);
    EXPECT_EQ(configRows(),
              QStringLiteral("CurrentCompany=fifty-character-value-that-fits-the-old-column-xx\n"
                             "DatabasePath=%1\nUseDefaultPath=1")
                  .arg(dir.path()));
    EXPECT_EQ(
        Fixtures::sqlcipherShell(dir.filePath(QStringLiteral("MCLarkspur.mdb")),
                                 QStringLiteral("SELECT count(*) FROM Company WHERE Database_Path = '';"),
                                 AppFolder::CommonPassword),
        QStringLiteral("3"));
    EXPECT_EQ(settings.get(QStringLiteral("IsFirstStart_UpdMCDBPath")), dir.path());

    // A second start finds nothing left to do.
    const QString upgraded = masterSchema();
    LauncherGlobals again;
    FixedInstanceGuard guard(false);
    Global::Main(again, StartupServices{app, settings, messages, guard, login});
    EXPECT_EQ(masterSchema(), upgraded);
}

TEST_F(StartupTest, AValueColumnOfAnotherSizeIsLeftAlone)
{
    makeFolder({true, 0});
    sql(QStringLiteral("create table Config_New (Config_Head VARCHAR(50), Config_Value VARCHAR(100))"));
    sql(QStringLiteral("insert into Config_New select * from Config_Data"));
    sql(QStringLiteral("drop table Config_Data"));
    sql(QStringLiteral("alter table Config_New rename to Config_Data"));
    start();
    EXPECT_EQ(MdlDAO::GetColumnSize(globals, QStringLiteral("Config_Data"), QStringLiteral("Config_Value")),
              100);
    EXPECT_TRUE(MdlDAO::HasDatabasePathConfig(globals));
}

TEST_F(StartupTest, AnOlderMasterInALongFolderWithAnApostropheIsRecordedWhole)
{
    const QString folder = dir.filePath(QStringLiteral("O'Brien's accounting; the long application folder"));
    ASSERT_GT(folder.size(), 50);
    QDir().mkpath(folder);
    AppFolderMaker::make(folder, {true, 0});
    app.folder = folder;
    app.productName = QStringLiteral("companydesk");
    app.major = 2;
    app.revision = 17;
    FixedInstanceGuard guard(false);
    Global::Main(globals, StartupServices{app, settings, messages, guard, login});
    EXPECT_EQ(MdlDAO::GetDatabasePath(globals), folder);
    EXPECT_EQ(MdlDAO::GetUseDefaultPath(globals), QStringLiteral("1"));
    EXPECT_EQ(settings.get(QStringLiteral("IsFirstStart_UpdMCDBPath")), folder);
}

TEST_F(StartupTest, AMissingDataLinkFileStillShowsTheLoginWindowSilently)
{
    makeFolder();
    QFile::remove(dir.filePath(QStringLiteral("MCdatalink.udl")));
    start();
    EXPECT_TRUE(messages.calls().isEmpty());
    EXPECT_EQ(login.shown, 1);
    EXPECT_EQ(globals.AppVersion, QStringLiteral("2.17"));
    EXPECT_EQ(settings.get(QStringLiteral("ServerPath")), dir.path());
    EXPECT_EQ(settings.get(QStringLiteral("standalone")), QStringLiteral("1"));
    EXPECT_FALSE(settings.contains(QStringLiteral("IsFirstStart_UpdMCDBPath")));
    ASSERT_TRUE(globals.MasterOpenError.has_value());
    EXPECT_TRUE(globals.MasterOpenError->description().contains(QStringLiteral("MCdatalink.udl")));
}

TEST_F(StartupTest, AMasterOfTheWindowsVersionIsNamedWithTheCommandThatConvertsIt)
{
    makeFolder();
    // A Jet master as a folder copied from Windows holds it: its header, then whole pages.
    const QString master = dir.filePath(QStringLiteral("MCLarkspur.mdb"));
    QByteArray jet = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00\x00", 24);
    jet.append(QByteArray(4096 * 4 - jet.size(), '\0'));
    Fixtures::writeAll(master, jet);
    start();
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(
        messages.calls()[0],
        (ScriptedMessageBox::Call{
            QStringLiteral("The folder %1 holds the databases of the Windows version, which this version "
                           "cannot open. Convert the folder into a new one with:\r\n\r\nvaultkeep import "
                           "\"%1\" \"<new folder>\"")
                .arg(dir.path()),
            48, QString()}));
    EXPECT_EQ(login.shown, 1);
    ASSERT_TRUE(globals.MasterOpenError.has_value());
    EXPECT_TRUE(globals.MasterOpenError->description().contains(QStringLiteral("vaultkeep import")));
    EXPECT_EQ(Fixtures::readAll(master), jet) << "the Jet master is only read";
}

TEST_F(StartupTest, AReadOnlyOlderMasterFailsTheUpgradeButTheStartGoesOn)
{
    makeFolder({true, 1});
    const QString master = dir.filePath(QStringLiteral("MCLarkspur.mdb"));
    const QByteArray before = Fixtures::readAll(master);
    Unprivileged::makeReachable(dir.path());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(master).constData(), 0444);
    ::chmod(QFile::encodeName(dir.filePath(QStringLiteral("MCdatalink.udl"))).constData(), 0444);

    const int status = Unprivileged::run([&] {
        start();
        if (login.shown != 1 || !messages.calls().isEmpty())
            return 1;
        if (globals.AppVersion != QStringLiteral("2.17"))
            return 2;
        // The upgrade stopped at its first change, so the rest of the opening did not run.
        if (settings.contains(QStringLiteral("IsFirstStart_UpdMCDBPath")))
            return 3;
        return settings.get(QStringLiteral("standalone")) == QStringLiteral("1") ? 0 : 4;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Fixtures::readAll(master), before) << "the read-only master is unchanged";
}

TEST_F(StartupTest, AMasterWrittenByTheSqlcipherShellIsUpgradedAndStillOpensThere)
{
    const QString master = dir.filePath(QStringLiteral("MCLarkspur.mdb"));
    const QString made = Fixtures::sqlcipherShell(
        master,
        QStringLiteral("CREATE TABLE Company (COMPANY_ID SMALLINT, COMPANY_NAME VARCHAR(255), COMPANY_PATH "
                       "VARCHAR(255), IS_SELECT SMALLINT, IS_DELETED SMALLINT, DATABASE_NAME VARCHAR(255));\n"
                       "CREATE INDEX CompanyName ON Company (COMPANY_NAME);\n"
                       "CREATE TABLE Config_Data (Config_Head VARCHAR(50), Config_Value VARCHAR(50));\n"
                       "INSERT INTO Config_Data VALUES ('CurrentCompany', '1');\n"
                       "INSERT INTO Company VALUES (1, 'Shellmade Trading', '', 0, 0, '1.mdb');"),
        AppFolder::CommonPassword);
    ASSERT_TRUE(made.isEmpty()) << made.toStdString();
    DataLinks::CreateUDLFile(AppFolder::JetConnectionString(master),
                             dir.filePath(QStringLiteral("MCdatalink.udl")));

    start();

    EXPECT_EQ(settings.get(QStringLiteral("IsFirstStart_UpdMCDBPath")), dir.path())
        << "the start-up ran through";
    EXPECT_EQ(Fixtures::sqlcipherShell(
                  master, QStringLiteral("SELECT COMPANY_NAME || '|' || Database_Path FROM Company;"),
                  AppFolder::CommonPassword),
              QStringLiteral("Shellmade Trading|"));
    EXPECT_EQ(configRows(),
              QStringLiteral("CurrentCompany=1\nDatabasePath=%1\nUseDefaultPath=1").arg(dir.path()));
    const QString schema = masterSchema();
    EXPECT_TRUE(schema.contains(QStringLiteral("Config_Value VARCHAR(255)"))) << schema.toStdString();
    EXPECT_TRUE(schema.contains(QStringLiteral("CREATE INDEX CompanyName"))) << schema.toStdString();
    const QByteArray bytes = Fixtures::readAll(master);
    for (const char* plain : {"Config_Data", "Shellmade", "CurrentCompany", "SQLite format 3"})
        EXPECT_FALSE(bytes.contains(plain)) << plain;
}

} // namespace

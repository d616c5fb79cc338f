#include "engine/DatabaseFile.h"
#include "launcher/core/DataLinks.h"
#include "launcher/core/Global.h"
#include "launcher/windows/LoginWindowHost.h"
#include "launcher/windows/frmLogin.h"
#include "platform/doubles/FixedInstanceGuard.h"
#include "shared/AppFolder.h"
#include "tests/support/DiskSnapshot.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"
#include "tests/support/WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LoginWindowTest : public WindowFixture
{
protected:
    std::unique_ptr<frmLogin> loadWindow()
    {
        auto window = std::make_unique<frmLogin>(globals, services, windows);
        window->Form_Load();
        window->show();
        return window;
    }
};

TEST_F(LoginWindowTest, ShowsItsCaptionsTheVersionAndTheCurrentCompany)
{
    makeFolder(3);
    settings.save(QStringLiteral("companyid"), QStringLiteral("2"));
    auto window = loadWindow();

    EXPECT_EQ(window->windowTitle(), QStringLiteral("# Larkspur : Multi Company Version #"));
    struct Caption
    {
        const char* name;
        QString text;
    } captions[] = {
        {"cmdOK", QStringLiteral("ตกลง")},
        {"cmdCancel", QStringLiteral("ยกเลิก")},
        {"CmdChooseCompany", QStringLiteral("เลือกบริษัท")},
        {"btnConnection", QStringLiteral("ตั้งค่าการเชื่อมต่อ")},
    };
    for (const Caption& c : captions)
        EXPECT_EQ(window->findChild<QPushButton*>(QLatin1String(c.name))->text(), c.text) << c.name;
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblLabels(0)"))->text(), QStringLiteral("รหัสผู้ใช้ :"));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblLabels(1)"))->text(), QStringLiteral("รหัสผ่าน :"));
    EXPECT_EQ(window->Label1->text(), QStringLiteral("ระบบบริหารงานเอกสาร SME  : เวอร์ชั่น หลายบริษัท"));
    EXPECT_EQ(window->Label3->text(), QStringLiteral("Welcome to Larkspur "));
    EXPECT_EQ(window->lblVersion->text(), QStringLiteral("Version 2.17"));
    EXPECT_EQ(window->lblVersionStatus->text(), QStringLiteral("Standalone Version"));
    EXPECT_FALSE(window->btnConnection->isVisible());
    EXPECT_EQ(window->txtPassword->echoMode(), QLineEdit::Password);

    EXPECT_EQ(globals.DatabasePath, dir.path());
    EXPECT_EQ(globals.CurrentCompanyID, 2);
    EXPECT_FALSE(globals.CurrentCompanyName.isEmpty());
    EXPECT_EQ(window->lblCompanyName->text(), globals.CurrentCompanyName);
    EXPECT_TRUE(window->cmdOK->isEnabled());
    EXPECT_TRUE(window->cmdOK->isDefault());
    EXPECT_EQ(windows.chooserShown, 0);
    EXPECT_FALSE(fatal.ended());
}

TEST_F(LoginWindowTest, TabOrderRunsFromTheUserNameThroughTheButtons)
{
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    auto window = loadWindow();
    EXPECT_EQ(tabSequence(window.get(), window->txtUserName, 5),
              (QList<QWidget*>{window->txtUserName, window->txtPassword, window->cmdOK, window->cmdCancel,
                               window->CmdChooseCompany, window->txtUserName}));
}

TEST_F(LoginWindowTest, WithoutAChosenCompanyTheChooserOpensFirstAndStartStaysDisabled)
{
    makeFolder(2);
    int currentWhenChooserOpened = -1;
    windows.onChooser = [&] {
        currentWhenChooserOpened = globals.CurrentCompanyID;
    };
    auto window = loadWindow();

    EXPECT_EQ(windows.chooserShown, 1);
    EXPECT_EQ(currentWhenChooserOpened, 0);
    // Cancelled: the company comes from the master database's row, which names none.
    EXPECT_EQ(globals.CurrentCompanyID, 0);
    EXPECT_EQ(globals.CurrentCompanyName, QStringLiteral("-"));
    EXPECT_EQ(window->lblCompanyName->text(), QStringLiteral("กรุณาเลือกบริษัท ก่อนที่จะเริ่มใช้งาน"));
    EXPECT_FALSE(window->cmdOK->isEnabled());
}

TEST_F(LoginWindowTest, TheChooseButtonShowsWhatTheChooserLeftInTheGlobals)
{
    makeFolder(2);
    settings.save(QStringLiteral("companyid"), QStringLiteral("0"));
    auto window = loadWindow();
    EXPECT_FALSE(window->cmdOK->isEnabled());

    windows.onChooser = [&] {
        globals.CurrentCompanyID = 2;
        globals.CurrentCompanyName = QStringLiteral("บริษัท สอง");
    };
    QTest::mouseClick(window->CmdChooseCompany, Qt::LeftButton);
    EXPECT_EQ(windows.chooserShown, 1);
    EXPECT_EQ(window->lblCompanyName->text(), QStringLiteral("บริษัท สอง"));
    EXPECT_TRUE(window->cmdOK->isEnabled());
}

TEST_F(LoginWindowTest, ACompanyWithoutARowCountsAsNoCompany)
{
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("7"));
    auto window = loadWindow();
    EXPECT_EQ(globals.CurrentCompanyID, 0);
    EXPECT_EQ(globals.CurrentCompanyName, QStringLiteral("-"));
    EXPECT_EQ(window->lblCompanyName->text(), QStringLiteral("กรุณาเลือกบริษัท ก่อนที่จะเริ่มใช้งาน"));
    EXPECT_FALSE(window->cmdOK->isEnabled());
    QTest::mouseClick(window->cmdOK, Qt::LeftButton);
    EXPECT_TRUE(starter.calls().isEmpty());
}

TEST_F(LoginWindowTest, StartPassesTheUserNameAndPasswordAndCloses)
{
    struct Case
    {
        QString user;
        QString password;
        QString parameters;
    } cases[] = {
        {QStringLiteral("somchai"), QStringLiteral("secret"), QStringLiteral("somchai secret")},
        {QString(), QStringLiteral("secret"), QString()},
        {QStringLiteral("somchai"), QString(), QStringLiteral("somchai ")},
        {QStringLiteral("a b"), QStringLiteral("c d"), QStringLiteral("a b c d")},
        {QStringLiteral("สมชาย"), QStringLiteral("รหัส"), QStringLiteral("สมชาย รหัส")},
    };
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    for (const Case& c : cases) {
        auto window = loadWindow();
        typeText(window->txtUserName, c.user);
        typeText(window->txtPassword, c.password);
        QTest::mouseClick(window->cmdOK, Qt::LeftButton);
        ASSERT_FALSE(starter.calls().isEmpty());
        const auto call = starter.calls().last();
        EXPECT_EQ(call.file, QStringLiteral("Larkspur.exe"));
        EXPECT_EQ(call.parameters, c.parameters) << c.user.toStdString();
        EXPECT_EQ(call.directory, dir.path() + QStringLiteral("/"));
        EXPECT_EQ(call.showCommand, 1);
        EXPECT_FALSE(window->isVisible());
    }
    EXPECT_FALSE(fatal.ended());
}

TEST_F(LoginWindowTest, ReturnInThePasswordBoxStarts)
{
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    auto window = loadWindow();
    typeText(window->txtUserName, QStringLiteral("u"));
    typeText(window->txtPassword, QStringLiteral("p"));
    QTest::keyClick(window->txtPassword, Qt::Key_Return);
    ASSERT_EQ(starter.calls().size(), 1);
    EXPECT_EQ(starter.calls()[0].parameters, QStringLiteral("u p"));
}

TEST_F(LoginWindowTest, AFailedStartEndsTheProgramWithTheShellsTextAndLeavesTheWindowOpen)
{
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    auto window = loadWindow();
    starter.queueResult(2);
    QTest::mouseClick(window->cmdOK, Qt::LeftButton);
    ASSERT_EQ(fatal.reports().size(), 1);
    EXPECT_EQ(fatal.reports()[0].number, 17);
    EXPECT_EQ(fatal.reports()[0].description, QStringLiteral("File not found."));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(LoginWindowTest, CancelClosesTheWindow)
{
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    auto window = loadWindow();
    QTest::mouseClick(window->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(starter.calls().isEmpty());
}

TEST_F(LoginWindowTest, AnUnknownStandaloneValueOpensTheMasterLocationWindowFirst)
{
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    settings.save(QStringLiteral("ServerPath"), QStringLiteral("/from/settings"));
    for (const QString& value :
         {QString(), QStringLiteral("yes"), QStringLiteral("1"), QStringLiteral("0")}) {
        settings.save(QStringLiteral("standalone"), value);
        const int before = windows.lanMainShown;
        frmLogin window(globals, services, windows);
        const bool known = value == QStringLiteral("1") || value == QStringLiteral("0");
        EXPECT_EQ(windows.lanMainShown - before, known ? 0 : 1) << value.toStdString();
        EXPECT_EQ(globals.ServerPath, QStringLiteral("/from/settings"));
    }
}

TEST_F(LoginWindowTest, ActivationPutsTheFocusInTheUserName)
{
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    auto window = loadWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->cmdCancel->setFocus();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_TRUE(window->txtUserName->hasFocus());
}

// The whole start-up on a folder whose master database cannot be opened: the start-up says nothing, the
// login window's load ends the program with a report naming the file and the cause, and nothing on disk
// is created or changed.
class BrokenMasterTest : public WindowFixture
{
protected:
    void startUp(LauncherGlobals& fresh)
    {
        FixedInstanceGuard guard(false);
        LoginWindowHost host(fresh, services, windows);
        Global::Main(fresh, StartupServices{app, settings, messages, guard, host});
    }
    void clearFolder()
    {
        const auto names =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            if (QFileInfo(dir.filePath(name)).isDir())
                QDir(dir.filePath(name)).removeRecursively();
            else
                QFile::remove(dir.filePath(name));
        }
    }
    DiskSnapshot::Snapshot snapshot() const { return DiskSnapshot::take(dir.path()); }
};

TEST_F(BrokenMasterTest, EveryBrokenOpenEndsAtTheLoginWithAReportNamingTheFile)
{
    const QString udl = dir.filePath(QStringLiteral("MCdatalink.udl"));
    const QString mdb = dir.filePath(QStringLiteral("MCLarkspur.mdb"));
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    struct Case
    {
        const char* what;
        std::function<void()> arrange;
        QString named;
        long number;
    } cases[] = {
        {"missing data-link file", [&] { QFile::remove(udl); }, udl, ErrorNumber::Unspecified},
        {"empty data-link file", [&] { Fixtures::writeAll(udl, {}); }, udl, ErrorNumber::Unspecified},
        {"UTF-8 data-link file",
         [&] {
             Fixtures::writeAll(udl, "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n" +
                                         AppFolder::JetConnectionString(mdb).toUtf8() + "\r\n");
         },
         udl, ErrorNumber::Unspecified},
        {"truncated data-link file",
         [&] { Fixtures::writeAll(udl, Fixtures::dataLinkBytes(QStringLiteral("x")).left(11)); }, udl,
         ErrorNumber::Unspecified},
        {"missing database", [&] { DataLinks::CreateUDLFile(AppFolder::JetConnectionString(other), udl); },
         other, ErrorNumber::Unspecified},
        {"0-byte database",
         [&] {
             Fixtures::writeAll(other, {});
             DataLinks::CreateUDLFile(AppFolder::JetConnectionString(other), udl);
         },
         other, ErrorNumber::Unspecified},
        {"not a database",
         [&] {
             Fixtures::writeAll(other, QByteArray(4000, 'x')); // not a whole number of pages
             DataLinks::CreateUDLFile(AppFolder::JetConnectionString(other), udl);
         },
         other, ErrorNumber::Unspecified},
        // A FIFO would wait for a writer for ever, a device never ends: neither is opened.
        {"data-link file that is a FIFO",
         [&] {
             QFile::remove(udl);
             ASSERT_EQ(::mkfifo(QFile::encodeName(udl).constData(), 0644), 0);
         },
         udl, ErrorNumber::Unspecified},
        {"data-link file linked to an endless device",
         [&] {
             QFile::remove(udl);
             ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), udl));
         },
         udl, ErrorNumber::Unspecified},
        {"data-link file larger than any real one",
         [&] {
             Fixtures::writeAll(udl, Fixtures::dataLinkBytes(AppFolder::JetConnectionString(mdb) +
                                                             QString(40000, QLatin1Char(' '))));
         },
         udl, ErrorNumber::Unspecified},
        {"database that is a FIFO",
         [&] {
             ASSERT_EQ(::mkfifo(QFile::encodeName(other).constData(), 0644), 0);
             DataLinks::CreateUDLFile(AppFolder::JetConnectionString(other), udl);
         },
         other, ErrorNumber::Unspecified},
        {"database that is an endless device",
         [&] { DataLinks::CreateUDLFile(AppFolder::JetConnectionString(QStringLiteral("/dev/zero")), udl); },
         QStringLiteral("/dev/zero"), ErrorNumber::Unspecified},
        {"relative database path",
         [&] {
             DataLinks::CreateUDLFile(AppFolder::JetConnectionString(QStringLiteral("nowhere/x.mdb")), udl);
         },
         QDir::current().absoluteFilePath(QStringLiteral("nowhere/x.mdb")), ErrorNumber::Unspecified},
        {"another password",
         [&] {
             DataLinks::CreateUDLFile(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + mdb +
                                          QStringLiteral(";Jet OLEDB:Database Password=Wrong1"),
                                      udl);
         },
         mdb, ErrorNumber::WrongPassword},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clearFolder();
        AppFolderMaker::make(dir.path(), {false, 1});
        c.arrange();
        const auto before = snapshot();
        messages.clear();
        const int reportsBefore = int(fatal.reports().size());

        LauncherGlobals fresh;
        ::alarm(60); // a start that hangs ends the test program instead of waiting for ever
        startUp(fresh);
        ::alarm(0);

        EXPECT_TRUE(messages.calls().isEmpty());
        ASSERT_EQ(fatal.reports().size(), reportsBefore + 1);
        const auto& report = fatal.reports().last();
        EXPECT_EQ(report.number, c.number);
        EXPECT_TRUE(report.description.contains(c.named)) << report.description.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(BrokenMasterTest, AMasterWithoutTablesEndsAtTheLoginNamingTheMissingTable)
{
    const QString mdb = dir.filePath(QStringLiteral("MCLarkspur.mdb"));
    AppFolderMaker::make(dir.path(), {false, 0});
    QFile::remove(mdb);
    DatabaseFile::create(mdb, AppFolder::CommonPassword);
    LauncherGlobals fresh;
    startUp(fresh);
    ASSERT_EQ(fatal.reports().size(), 1);
    EXPECT_EQ(fatal.reports()[0].number, ErrorNumber::NoSuchTable);
    EXPECT_TRUE(fatal.reports()[0].description.contains(QStringLiteral("Config_Data"), Qt::CaseInsensitive))
        << fatal.reports()[0].description.toStdString();
}

} // namespace

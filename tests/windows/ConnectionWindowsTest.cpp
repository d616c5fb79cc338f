#include "engine/Connection.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/windows/ConnectionFolderBox.h"
#include "launcher/windows/ConnectionTestButton.h"
#include "launcher/windows/LauncherWindows.h"
#include "launcher/windows/frmLanConnection.h"
#include "launcher/windows/frmLanMain.h"
#include "launcher/windows/frmLogin.h"
#include "shared/AppFolder.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"
#include "tests/support/Unprivileged.h"
#include "tests/support/WindowFixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <sys/stat.h>

namespace {

using Call = ScriptedMessageBox::Call;

const QString Prompt = QStringLiteral("Select Application Folder :");

// Every entry below a folder, so that a test can show that nothing was created.
QStringList tree(const QString& folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(it.next());
    names.sort();
    return names;
}

class ConnectionWindowsTest : public WindowFixture
{
protected:
    enum class Window
    {
        LanMain,
        LanConnection
    };

    // The folder box and test button of one of the two windows, and the file it tests in a folder.
    struct Open
    {
        std::unique_ptr<QDialog> window;
        QLineEdit* folder = nullptr;
        QPushButton* test = nullptr;
        QPushButton* ok = nullptr;
    };
    Open open(Window which)
    {
        Open result;
        if (which == Window::LanMain) {
            auto window = std::make_unique<frmLanMain>(globals, services);
            result.folder = window->txtBrowse;
            result.test = window->cmdTestConnection;
            result.ok = window->OKButton;
            result.window = std::move(window);
        } else {
            auto window = std::make_unique<frmLanConnection>(globals, services);
            result.folder = window->txtPath;
            result.test = window->cmdTestConnection;
            result.ok = window->btnOK;
            result.window = std::move(window);
        }
        result.window->show();
        return result;
    }
    static QStringList testedFile(Window which)
    {
        return which == Window::LanMain
                   ? QStringList{QStringLiteral("MCLarkspur.mdb")}
                   : QStringList{QStringLiteral("CompanyData"), QStringLiteral("Larkspur.mdb")};
    }
    // A folder laid out with a master and a template of its own, apart from the application folder.
    QString otherDataFolder(const QString& name)
    {
        const QString folder = dir.filePath(name);
        AppFolderMaker::make(folder, {false, 1});
        return folder;
    }
    QString configValue(const QString& head)
    {
        return Fixtures::sqlcipherShell(
            path(QStringLiteral("MCLarkspur.mdb")),
            QStringLiteral("SELECT Config_Value FROM Config_Data WHERE Config_Head = '%1';").arg(head),
            AppFolder::CommonPassword);
    }
    // A person ticks a box with the keyboard: focus and Space.
    static void tick(QCheckBox* box)
    {
        box->setFocus(Qt::TabFocusReason);
        QTest::keyClick(box, Qt::Key_Space);
    }
    void replaceText(QLineEdit* box, const QString& text)
    {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        typeText(box, text);
    }
};

TEST_F(ConnectionWindowsTest, LanMainShowsItsCaptionsInTabOrderWithAccessibleNames)
{
    makeFolder(1);
    frmLanMain window(globals, services);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("ตั้งค่าการเชื่อมต่อไปยังเซิร์ฟเวอร์"));
    EXPECT_EQ(window.cmdBrowse->text(), QStringLiteral("เลือกเซิร์ฟเวอร์"));
    EXPECT_EQ(window.cmdTestConnection->text(), QStringLiteral("ทดสอบการเชื่อมต่อ"));
    EXPECT_EQ(window.CancelButton->text(), QStringLiteral("ยกเลิก"));
    EXPECT_EQ(window.OKButton->text(), QStringLiteral("ตกลง"));
    EXPECT_EQ(window.Label1->text(), QStringLiteral("ที่อยู่เครื่องเซิร์ฟเวอร์ :"));
    EXPECT_EQ(window.ChkStandalone->text(), QStringLiteral("ตั้งเครื่องนี้เป็นเซิร์ฟเวอร์"));
    EXPECT_EQ(window.txtBrowse->accessibleName(), window.Label1->text());
    EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("txtBrowse")), window.txtBrowse);
    EXPECT_FALSE(window.ChkStandalone->isChecked());
    EXPECT_EQ(
        tabSequence(&window, window.cmdBrowse, 6),
        (QList<QWidget*>{window.cmdBrowse, window.txtBrowse, window.cmdTestConnection, window.CancelButton,
                         window.OKButton, window.ChkStandalone, window.cmdBrowse}));
}

TEST_F(ConnectionWindowsTest, LanConnectionShowsItsCaptionsInTabOrderWithAccessibleNames)
{
    makeFolder(1);
    sql(QStringLiteral("update Config_Data set Config_Value = '0' where Config_Head = 'UseDefaultPath'"));
    frmLanConnection window(globals, services);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("  เลือกที่อยู่ของฐานข้อมูลบนเซิร์ฟเวอร์ "));
    EXPECT_EQ(window.btnBrowse->text(), QStringLiteral("เลือกที่อยู่ฐานข้อมูล"));
    EXPECT_EQ(window.Label1->text(), QStringLiteral("ที่อยู่ของฐานข้อมูล :"));
    EXPECT_EQ(window.btnOK->text(), QStringLiteral("ตกลง"));
    EXPECT_EQ(window.Command1->text(), QStringLiteral("ยกเลิก"));
    EXPECT_EQ(window.cmdTestConnection->text(), QStringLiteral("ทดสอบการเชื่อมต่อ"));
    EXPECT_EQ(window.ChkStandalone->text(), QStringLiteral("ใช้ฐานข้อมูลบนเครื่อง"));
    EXPECT_EQ(window.CheckUseDefault->text(), QStringLiteral("ใช้ค่ามาตรฐาน"));
    EXPECT_EQ(window.btnSetToDefaultDBPath->text(), QStringLiteral("คืนค่าที่อยู่ของฐานข้อมูล เป็นค่ามาตรฐาน"));
    EXPECT_EQ(window.txtPath->accessibleName(), window.Label1->text());
    EXPECT_FALSE(window.ChkStandalone->isChecked());
    EXPECT_FALSE(window.CheckUseDefault->isChecked());
    EXPECT_EQ(tabSequence(&window, window.txtPath, 8),
              (QList<QWidget*>{window.txtPath, window.btnBrowse, window.btnOK, window.Command1,
                               window.cmdTestConnection, window.ChkStandalone, window.CheckUseDefault,
                               window.btnSetToDefaultDBPath, window.txtPath}));
}

TEST_F(ConnectionWindowsTest, LanMainLoadsTheSettingsAndTickingStandaloneRunsItsAction)
{
    makeFolder(0);
    struct Case
    {
        QString serverPath;
        QString standalone;
        QString shown;
        bool ticked;
    };
    const Case cases[] = {
        {QString(), QString(), QString(), false},
        {QStringLiteral("/srv/books"), QStringLiteral("0"), QStringLiteral("/srv/books"), false},
        {QStringLiteral("/srv/books"), QStringLiteral("yes"), QStringLiteral("/srv/books"), false},
        {QStringLiteral("/srv/books"), QStringLiteral("1"), root, true},
        {QString(), QStringLiteral("1"), root, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.serverPath + QLatin1Char('|') + c.standalone).toStdString());
        settings.save(QStringLiteral("ServerPath"), c.serverPath);
        settings.save(QStringLiteral("standalone"), c.standalone);
        frmLanMain window(globals, services);
        EXPECT_EQ(window.txtBrowse->text(), c.shown);
        EXPECT_EQ(window.ChkStandalone->isChecked(), c.ticked);
        for (QWidget* control :
             {static_cast<QWidget*>(window.txtBrowse), static_cast<QWidget*>(window.cmdBrowse),
              static_cast<QWidget*>(window.cmdTestConnection)})
            EXPECT_EQ(control->isEnabled(), !c.ticked) << control->objectName().toStdString();
    }
    EXPECT_TRUE(messages.calls().isEmpty());
}

TEST_F(ConnectionWindowsTest, StandaloneClickedPutsTheApplicationFolderAndUntickingKeepsIt)
{
    makeFolder(0);
    settings.save(QStringLiteral("ServerPath"), QStringLiteral("/srv/books"));
    frmLanMain main(globals, services);
    main.show();
    tick(main.ChkStandalone);
    EXPECT_TRUE(main.ChkStandalone->isChecked());
    EXPECT_EQ(main.txtBrowse->text(), root);
    EXPECT_FALSE(main.txtBrowse->isEnabled());
    tick(main.ChkStandalone);
    EXPECT_TRUE(main.txtBrowse->isEnabled());
    EXPECT_TRUE(main.cmdBrowse->isEnabled());
    EXPECT_TRUE(main.cmdTestConnection->isEnabled());
    EXPECT_EQ(main.txtBrowse->text(), root);

    globals.DatabasePath = QStringLiteral("/srv/data");
    frmLanConnection connection(globals, services);
    connection.show();
    tick(connection.ChkStandalone);
    EXPECT_EQ(connection.txtPath->text(), root);
    EXPECT_FALSE(connection.txtPath->isEnabled());
    EXPECT_FALSE(connection.btnBrowse->isEnabled());
    EXPECT_FALSE(connection.cmdTestConnection->isEnabled());
    tick(connection.ChkStandalone);
    EXPECT_TRUE(connection.txtPath->isEnabled());
    EXPECT_TRUE(connection.btnBrowse->isEnabled());
    EXPECT_TRUE(connection.cmdTestConnection->isEnabled());
}

TEST_F(ConnectionWindowsTest, LanConnectionLoadsTheDataFolderAndTicksUseDefaultOnlyForOne)
{
    makeFolder(0);
    globals.ServerPath = QStringLiteral("/srv/app");
    struct Case
    {
        QString stored; // "<no row>": the row is missing
        bool ticked;
    };
    const Case cases[] = {
        {QStringLiteral("1"), true},      {QStringLiteral(" 1 "), true},       {QStringLiteral("0"), false},
        {QStringLiteral("2"), false},     {QStringLiteral("yes"), false},      {QString(), false},
        {QStringLiteral("99999"), false}, {QStringLiteral("<no row>"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        if (c.stored == QStringLiteral("<no row>"))
            sql(QStringLiteral("delete from Config_Data where Config_Head = 'UseDefaultPath'"));
        else
            sql(QStringLiteral(
                    "update Config_Data set Config_Value = '%1' where Config_Head = 'UseDefaultPath'")
                    .arg(c.stored));
        globals.DatabasePath = QStringLiteral("/srv/data");
        frmLanConnection window(globals, services);
        EXPECT_EQ(window.CheckUseDefault->isChecked(), c.ticked);
        EXPECT_EQ(window.txtPath->text(),
                  c.ticked ? QStringLiteral("/srv/app") : QStringLiteral("/srv/data"));
        EXPECT_FALSE(window.ChkStandalone->isChecked());
    }
    EXPECT_FALSE(fatal.ended());
}

TEST_F(ConnectionWindowsTest, UseDefaultAndTheDefaultButtonPutTheServerFolderAndUntickingRestoresNothing)
{
    makeFolder(0);
    sql(QStringLiteral("update Config_Data set Config_Value = '0' where Config_Head = 'UseDefaultPath'"));
    globals.ServerPath = QStringLiteral("/srv/app");
    globals.DatabasePath = QStringLiteral("/srv/data");
    frmLanConnection window(globals, services);
    window.show();
    tick(window.CheckUseDefault);
    EXPECT_EQ(window.txtPath->text(), QStringLiteral("/srv/app"));
    tick(window.CheckUseDefault);
    EXPECT_FALSE(window.CheckUseDefault->isChecked());
    EXPECT_EQ(window.txtPath->text(), QStringLiteral("/srv/app"));

    replaceText(window.txtPath, QStringLiteral("/elsewhere"));
    QTest::mouseClick(window.btnSetToDefaultDBPath, Qt::LeftButton);
    EXPECT_EQ(window.txtPath->text(), QStringLiteral("/srv/app"));
    EXPECT_FALSE(window.CheckUseDefault->isChecked());
    EXPECT_EQ(globals.DatabasePath, QStringLiteral("/srv/data"));
}

TEST_F(ConnectionWindowsTest, BrowseAsksWithThePromptAndKeepsTheTextOnCancel)
{
    makeFolder(0);
    sql(QStringLiteral("update Config_Data set Config_Value = '0' where Config_Head = 'UseDefaultPath'"));
    globals.DatabasePath = QStringLiteral("/srv/data");
    frmLanMain main(globals, services);
    main.show();
    main.txtBrowse->setText(QStringLiteral("/before"));
    folders.queueAnswer(QString());
    QTest::mouseClick(main.cmdBrowse, Qt::LeftButton);
    EXPECT_EQ(main.txtBrowse->text(), QStringLiteral("/before"));
    folders.queueAnswer(QStringLiteral("/srv/master/"));
    QTest::mouseClick(main.cmdBrowse, Qt::LeftButton);
    EXPECT_EQ(main.txtBrowse->text(), QStringLiteral("/srv/master"));

    frmLanConnection connection(globals, services);
    connection.show();
    folders.queueAnswer(QString());
    QTest::mouseClick(connection.btnBrowse, Qt::LeftButton);
    EXPECT_EQ(connection.txtPath->text(), QStringLiteral("/srv/data"));
    EXPECT_EQ(globals.DatabasePath, QStringLiteral("/srv/data"));
    // The chosen data folder is in effect at once, and stays so when the window is cancelled.
    folders.queueAnswer(QStringLiteral("/srv/ข้อมูล"));
    QTest::mouseClick(connection.btnBrowse, Qt::LeftButton);
    EXPECT_EQ(connection.txtPath->text(), QStringLiteral("/srv/ข้อมูล"));
    EXPECT_EQ(globals.DatabasePath, QStringLiteral("/srv/ข้อมูล"));
    QTest::mouseClick(connection.Command1, Qt::LeftButton);
    EXPECT_EQ(connection.result(), QDialog::Rejected);
    EXPECT_EQ(globals.DatabasePath, QStringLiteral("/srv/ข้อมูล"));
    EXPECT_EQ(configValue(QStringLiteral("DatabasePath")), root);

    ASSERT_EQ(folders.calls().size(), 4);
    for (const ScriptedFolderPicker::Call& call : folders.calls()) {
        EXPECT_EQ(call.startFolder, QString());
        EXPECT_EQ(call.prompt, Prompt);
    }
}

// Both windows' test buttons: what the operator is told, and that the test leaves no file behind.
TEST_F(ConnectionWindowsTest, TheTestButtonsTellWhetherTheDatabaseOpens)
{
    makeFolder(1);
    const QString good = otherDataFolder(QStringLiteral("good"));
    const QString odd = otherDataFolder(QStringLiteral("ข้อมูล ร้าน's; สาขา"));
    const QString notDatabase = dir.filePath(QStringLiteral("notdb"));
    const QString otherPassword = dir.filePath(QStringLiteral("otherkey"));
    for (const QString& folder : {notDatabase, otherPassword})
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/CompanyData")));
    for (const QString& file :
         {QStringLiteral("MCLarkspur.mdb"), QStringLiteral("CompanyData/Larkspur.mdb")}) {
        Fixtures::writeAll(notDatabase + QLatin1Char('/') + file, QByteArray(2048, 'x'));
        Fixtures::sqlcipherShell(otherPassword + QLatin1Char('/') + file,
                                 QStringLiteral("CREATE TABLE t(x);"), QStringLiteral("another"));
        ASSERT_TRUE(QFileInfo(otherPassword + QLatin1Char('/') + file).size() > 0);
    }

    const Call success{ConnectionTestButton::SuccessText, MsgStyle::OkOnly, QString()};
    const Call failure{ConnectionTestButton::FailureText, MsgStyle::OkOnly, QString()};
    const Call empty{ConnectionTestButton::EmptyFolderText, MsgStyle::Exclamation, QString()};
    struct Case
    {
        QString folder;
        Call told;
    };
    const Case cases[] = {
        {QString(), empty},     {root, success},
        {good, success},        {good + QLatin1Char('/'), success},
        {odd, success},         {dir.filePath(QStringLiteral("nowhere")), failure},
        {notDatabase, failure}, {otherPassword, failure},
    };
    for (Window which : {Window::LanMain, Window::LanConnection}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(int(which)).arg(c.folder).toStdString());
            messages.clear();
            Open opened = open(which);
            opened.folder->clear();
            typeText(opened.folder, c.folder);
            const QStringList before = tree(dir.path());
            QTest::mouseClick(opened.test, Qt::LeftButton);
            EXPECT_EQ(messages.calls(), QList<Call>{c.told});
            EXPECT_EQ(tree(dir.path()), before);
            opened.window->close();
        }
    }
    // The master connection the test opened beside lives on.
    EXPECT_EQ(MdlDAO::GetDatabasePath(globals), root);
    EXPECT_FALSE(fatal.ended());
}

TEST_F(ConnectionWindowsTest, TheTestStringReplacesThePlaceholderAndFindsCompanyDataIgnoringCase)
{
    makeFolder(0);
    const QString templateFile = path(QStringLiteral("CompanyData/Larkspur.mdb"));
    const QStringList below = {QStringLiteral("COMPANYDATA"), QStringLiteral("Larkspur.mdb")};
    EXPECT_EQ(ConnectionTestButton::TestedFile(root, below), templateFile);
    EXPECT_EQ(ConnectionTestButton::TestString(root, below),
              QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + templateFile +
                  QStringLiteral(";Mode=Share Deny None;Persist Security Info=True;Jet OLEDB:Database "
                                 "Password=Marigold4817"));
    // A path that exists as typed is used unchanged, a doubled separator included; a missing one keeps
    // its text.
    EXPECT_EQ(ConnectionTestButton::TestedFile(root + QLatin1Char('/'), {QStringLiteral("MCLarkspur.mdb")}),
              root + QStringLiteral("//MCLarkspur.mdb"));
    EXPECT_EQ(ConnectionTestButton::TestedFile(QStringLiteral("/nowhere$connection"), below),
              QStringLiteral("/nowhere$connection/COMPANYDATA/Larkspur.mdb"));
    // Quoted by the launcher's rule, so that the string still names the whole path.
    EXPECT_EQ(ConnectionTestButton::TestString(QStringLiteral("/a;b'c"), {QStringLiteral("MCLarkspur.mdb")}),
              QStringLiteral(
                  "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/a;b'c/MCLarkspur.mdb\";Mode=Share Deny "
                  "None;Persist Security Info=True;Jet OLEDB:Database Password=Marigold4817"));
}

TEST_F(ConnectionWindowsTest, TheTestFailsForAFolderTheUserMayNotRead)
{
    makeFolder(0);
    const QString locked = otherDataFolder(QStringLiteral("locked"));
    Unprivileged::makeReachable(dir.path());
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0700), 0);
    const QStringList before = tree(dir.path());
    for (Window which : {Window::LanMain, Window::LanConnection}) {
        const int status = Unprivileged::run([&] {
            messages.clear();
            Open opened = open(which);
            opened.folder->setText(locked);
            QTest::mouseClick(opened.test, Qt::LeftButton);
            return messages.calls() ==
                           QList<Call>{{ConnectionTestButton::FailureText, MsgStyle::OkOnly, QString()}}
                       ? 0
                       : 1;
        });
        EXPECT_EQ(status, 0) << int(which);
    }
    EXPECT_EQ(tree(dir.path()), before);
}

TEST_F(ConnectionWindowsTest, LanMainOkSavesTheSettingsAndWritesTheMasterLinkTheNextStartOpens)
{
    makeFolder(0);
    const QString other = otherDataFolder(QStringLiteral("ข้อมูล ร้าน's; สาขา"));
    Connection marker;
    marker.open(AppFolder::JetConnectionString(other + QStringLiteral("/MCLarkspur.mdb")));
    marker.execute(QStringLiteral("update Config_Data set Config_Value = 'moved' where Config_Head = "
                                  "'DatabasePath'"));
    marker.close();
    const QString homeDataPath = MdlDAO::GetDatabasePath(globals);

    struct Case
    {
        QString typed;
        bool tickStandalone;
        QString serverPath;
        QString standalone;
        QString master;
    };
    const Case cases[] = {
        {other, false, other, QStringLiteral("0"), other + QStringLiteral("/MCLarkspur.mdb")},
        // Nothing normalises a trailing separator: the link names the file after a doubled one.
        {other + QLatin1Char('/'), false, other + QLatin1Char('/'), QStringLiteral("0"),
         other + QStringLiteral("//MCLarkspur.mdb")},
        {other, true, root, QStringLiteral("1"), root + QStringLiteral("/MCLarkspur.mdb")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        settings.save(QStringLiteral("ServerPath"), QString());
        settings.save(QStringLiteral("standalone"), QStringLiteral("0"));
        frmLanMain window(globals, services);
        window.show();
        replaceText(window.txtBrowse, c.typed);
        if (c.tickStandalone)
            tick(window.ChkStandalone);
        QTest::mouseClick(window.OKButton, Qt::LeftButton);

        EXPECT_EQ(window.result(), QDialog::Accepted);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(settings.get(QStringLiteral("ServerPath")), c.serverPath);
        EXPECT_EQ(settings.get(QStringLiteral("standalone")), c.standalone);
        EXPECT_EQ(globals.ServerPath, c.serverPath);
        EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("MCdatalink.udl"))),
                  Fixtures::dataLinkBytes(AppFolder::JetConnectionString(c.master)));

        // What the next start does with the link: the master it names opens.
        Connection next;
        next.open(AppFolder::MasterDataLinkReference(root));
        EXPECT_EQ(next.databasePath(), c.master);
        LauncherGlobals nextRun;
        nextRun.MasterConnection.open(AppFolder::MasterDataLinkReference(root));
        EXPECT_EQ(MdlDAO::GetDatabasePath(nextRun),
                  c.tickStandalone ? homeDataPath : QStringLiteral("moved"));
    }
    EXPECT_FALSE(fatal.ended());
}

TEST_F(ConnectionWindowsTest, CancelSavesNothing)
{
    makeFolder(0);
    const QByteArray link = Fixtures::readAll(path(QStringLiteral("MCdatalink.udl")));
    settings.save(QStringLiteral("ServerPath"), QStringLiteral("/srv/a"));
    settings.save(QStringLiteral("standalone"), QStringLiteral("0"));
    frmLanMain main(globals, services);
    main.show();
    replaceText(main.txtBrowse, QStringLiteral("/srv/b"));
    QTest::mouseClick(main.CancelButton, Qt::LeftButton);
    EXPECT_EQ(main.result(), QDialog::Rejected);
    EXPECT_EQ(settings.get(QStringLiteral("ServerPath")), QStringLiteral("/srv/a"));
    EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("MCdatalink.udl"))), link);

    globals.DatabasePath = root;
    frmLanConnection connection(globals, services);
    connection.show();
    replaceText(connection.txtPath, QStringLiteral("/srv/b"));
    tick(connection.CheckUseDefault);
    QTest::mouseClick(connection.Command1, Qt::LeftButton);
    EXPECT_EQ(connection.result(), QDialog::Rejected);
    EXPECT_EQ(globals.DatabasePath, root);
    EXPECT_EQ(configValue(QStringLiteral("DatabasePath")), root);
    EXPECT_EQ(configValue(QStringLiteral("UseDefaultPath")), QStringLiteral("1"));
}

TEST_F(ConnectionWindowsTest, LanConnectionOkStoresTheFolderAndUseDefaultButNotStandalone)
{
    makeFolder(0);
    globals.ServerPath = root;
    struct Case
    {
        QString typed;
        bool useDefault;
        QString stored;
        QString useDefaultStored;
    };
    const Case cases[] = {
        {QStringLiteral("/srv/ข้อมูล ร้าน's; สาขา"), false, QStringLiteral("/srv/ข้อมูล ร้าน's; สาขา"),
         QStringLiteral("0")},
        {QStringLiteral("/srv/data/"), false, QStringLiteral("/srv/data/"), QStringLiteral("0")},
        {QStringLiteral("/srv/data"), true, root, QStringLiteral("1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        sql(QStringLiteral("update Config_Data set Config_Value = '0' where Config_Head = 'UseDefaultPath'"));
        frmLanConnection window(globals, services);
        window.show();
        replaceText(window.txtPath, c.typed);
        if (c.useDefault)
            tick(window.CheckUseDefault);
        tick(window.ChkStandalone);
        tick(window.ChkStandalone);
        replaceText(window.txtPath, c.stored);
        QTest::mouseClick(window.btnOK, Qt::LeftButton);
        EXPECT_EQ(window.result(), QDialog::Accepted);
        EXPECT_EQ(globals.DatabasePath, c.stored);
        EXPECT_EQ(configValue(QStringLiteral("DatabasePath")), c.stored);
        EXPECT_EQ(configValue(QStringLiteral("UseDefaultPath")), c.useDefaultStored);
    }
    EXPECT_TRUE(settings.values().isEmpty());
}

// The whole errand from the chooser: the data folder pointed elsewhere, tested, confirmed, and a company
// confirmed; the accounting application's data link names the company under the new folder.
TEST_F(ConnectionWindowsTest, FromTheChooserTheDataFolderMovesAndTheCompanyLinkFollows)
{
    makeFolder(1);
    const QString other = otherDataFolder(QStringLiteral("ข้อมูล ร้าน's; สาขา"));
    LauncherWindows real(globals, services);
    frmChooseCompany chooser(globals, services, real);
    chooser.show();

    folders.queueAnswer(other);
    modal.queueScript([&](QDialog& dialog) {
        auto* window = dynamic_cast<frmLanConnection*>(&dialog);
        ASSERT_NE(window, nullptr);
        window->txtPath->clear();
        QTest::mouseClick(window->cmdTestConnection, Qt::LeftButton);
        QTest::mouseClick(window->btnBrowse, Qt::LeftButton);
        QTest::mouseClick(window->cmdTestConnection, Qt::LeftButton);
        QTest::mouseClick(window->btnOK, Qt::LeftButton);
    });
    QTest::mouseClick(chooser.btnConnect, Qt::LeftButton);
    EXPECT_EQ(modal.shown(), QList<QString>{QStringLiteral("frmLanConnection")});
    EXPECT_EQ(messages.calls(),
              (QList<Call>{{ConnectionTestButton::EmptyFolderText, MsgStyle::Exclamation, QString()},
                           {ConnectionTestButton::SuccessText, MsgStyle::OkOnly, QString()}}));
    EXPECT_EQ(globals.DatabasePath, other);
    EXPECT_EQ(configValue(QStringLiteral("DatabasePath")), other);

    QTableView* grid = chooser.MSHFlexGrid1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(0, 1)).center());
    QTest::mouseClick(chooser.OKButton, Qt::LeftButton);
    EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("datalink.udl"))),
              Fixtures::dataLinkBytes(
                  AppFolder::JetConnectionString(other + QStringLiteral("/CompanyData/1/1.mdb"))));
    Connection company;
    company.open(AppFolder::JetConnectionString(other + QStringLiteral("/CompanyData/1/1.mdb")));
    EXPECT_TRUE(company.isOpen());
    EXPECT_FALSE(fatal.ended());
}

// The login window opens the master-location window when "standalone" is unknown, and its hidden
// button does too; a normal start never gets there, as it writes "1" first.
TEST_F(ConnectionWindowsTest, TheLoginWindowOpensLanMainOnlyForAnUnknownStandaloneValue)
{
    makeFolder(1);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    LauncherWindows real(globals, services);
    for (const QString& value : {QStringLiteral("1"), QStringLiteral("0"), QString(), QStringLiteral("2")}) {
        SCOPED_TRACE(value.toStdString());
        settings.save(QStringLiteral("standalone"), value);
        settings.save(QStringLiteral("ServerPath"), root);
        const qsizetype before = modal.shown().size();
        frmLogin login(globals, services, real);
        const bool unknown = value != QStringLiteral("1") && value != QStringLiteral("0");
        EXPECT_EQ(modal.shown().size() - before, unknown ? 1 : 0);
    }
    EXPECT_EQ(modal.shown(), (QList<QString>{QStringLiteral("frmLanMain"), QStringLiteral("frmLanMain")}));

    settings.save(QStringLiteral("standalone"), QStringLiteral("1"));
    frmLogin login(globals, services, real);
    login.Form_Load();
    EXPECT_FALSE(login.btnConnection->isVisibleTo(&login));
    login.btnConnection->click();
    EXPECT_EQ(modal.shown().size(), 3);
    EXPECT_EQ(modal.shown().last(), QStringLiteral("frmLanMain"));
}

TEST_F(ConnectionWindowsTest, AnApplicationFolderThatCannotBeWrittenEndsTheProgramAndKeepsTheOldLink)
{
    makeFolder(0);
    const QString other = otherDataFolder(QStringLiteral("other"));
    const QByteArray link = Fixtures::readAll(path(QStringLiteral("MCdatalink.udl")));
    globals.MasterConnection.close();
    Unprivileged::makeReachable(dir.path());
    ASSERT_EQ(::chmod(QFile::encodeName(root).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("MCdatalink.udl"))).constData(), 0666), 0);
    const QStringList before = tree(root);

    const int status = Unprivileged::run([&] {
        frmLanMain window(globals, services);
        window.show();
        window.txtBrowse->setText(other);
        QTest::mouseClick(window.OKButton, Qt::LeftButton);
        if (fatal.reports().size() != 1)
            return 1;
        const RecordingFatalError::Report& report = fatal.reports().first();
        if (report.number != ErrorNumber::Unspecified ||
            !report.description.contains(QStringLiteral("MCdatalink.udl")))
            return 2;
        // The program ends at the report: the window was not closed as if all went well.
        return window.result() == QDialog::Accepted ? 3 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("MCdatalink.udl"))), link);
    EXPECT_EQ(tree(root), before);
}

// What each window stored when confirmed: the master-location window its setting and data link, the
// data-location window the master's row.
struct Stored
{
    QString setting;
    QByteArray link;
    QString row;
    bool operator==(const Stored&) const = default;
};

TEST_F(ConnectionWindowsTest, ARelativeFolderIsMadeAbsoluteAgainstTheStartFolderBeforeItIsTestedAndStored)
{
    makeFolder(0);
    app.startFolder = dir.path();
    const QString other = otherDataFolder(QStringLiteral("ร้าน two"));
    struct Case
    {
        QString typed;
        QString absolute;
    };
    const Case cases[] = {
        {QStringLiteral("ร้าน two"), other},
        // Joined as typed, as an absolute folder is kept as typed.
        {QStringLiteral("./ร้าน two/"), dir.path() + QStringLiteral("/./ร้าน two/")},
        {other, other},
    };
    for (Window which : {Window::LanMain, Window::LanConnection}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(int(which)).arg(c.typed).toStdString());
            messages.clear();
            Open opened = open(which);
            replaceText(opened.folder, c.typed);
            QTest::mouseClick(opened.test, Qt::LeftButton);
            EXPECT_EQ(messages.calls(),
                      (QList<Call>{{ConnectionTestButton::SuccessText, MsgStyle::OkOnly, QString()}}));
            EXPECT_EQ(opened.folder->text(), c.absolute);

            replaceText(opened.folder, c.typed);
            QTest::mouseClick(opened.ok, Qt::LeftButton);
            EXPECT_EQ(opened.window->result(), QDialog::Accepted);
            if (which == Window::LanMain) {
                EXPECT_EQ(settings.get(QStringLiteral("ServerPath")), c.absolute);
                EXPECT_EQ(globals.ServerPath, c.absolute);
                // The next start opens the master this folder holds, wherever it is started from.
                Connection next;
                next.open(AppFolder::MasterDataLinkReference(root));
                EXPECT_EQ(next.databasePath(), c.absolute + QStringLiteral("/MCLarkspur.mdb"));
            } else {
                EXPECT_EQ(globals.DatabasePath, c.absolute);
                EXPECT_EQ(configValue(QStringLiteral("DatabasePath")), c.absolute);
            }
        }
    }
    EXPECT_FALSE(fatal.ended());
}

TEST_F(ConnectionWindowsTest, AFolderWhoseTestJustFailedIsStoredOnlyWhenTheOperatorSaysSo)
{
    makeFolder(0);
    const QString good = otherDataFolder(QStringLiteral("good"));
    const QString nowhere = dir.filePath(QStringLiteral("nowhere"));
    const Call question{ConnectionFolderBox::StoreFailedText, MsgStyle::YesNoQuestion, QString()};
    const Call failure{ConnectionTestButton::FailureText, MsgStyle::OkOnly, QString()};
    for (Window which : {Window::LanMain, Window::LanConnection}) {
        SCOPED_TRACE(int(which));
        settings.save(QStringLiteral("ServerPath"), root);
        sql(QStringLiteral("update Config_Data set Config_Value = '%1' where Config_Head = 'DatabasePath'")
                .arg(root));
        globals.DatabasePath = root;
        const QByteArray link = Fixtures::readAll(path(QStringLiteral("MCdatalink.udl")));
        const auto stored = [&] {
            return Stored{settings.get(QStringLiteral("ServerPath")),
                          Fixtures::readAll(path(QStringLiteral("MCdatalink.udl"))),
                          configValue(QStringLiteral("DatabasePath"))};
        };
        const Stored before = stored();
        messages.clear();
        Open opened = open(which);
        QPushButton* ok = opened.ok;
        replaceText(opened.folder, nowhere);
        QTest::mouseClick(opened.test, Qt::LeftButton);
        messages.queueAnswer(MsgResult::No);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_EQ(messages.calls(), (QList<Call>{failure, question}));
        EXPECT_TRUE(opened.window->isVisible());
        EXPECT_EQ(stored(), before);

        // Only the folder whose test failed last is asked about: a good test in between changes nothing
        // of that, and a folder typed after the failed test is stored without a question.
        replaceText(opened.folder, good);
        QTest::mouseClick(opened.test, Qt::LeftButton);
        replaceText(opened.folder, nowhere);
        messages.clear();
        QTest::mouseClick(opened.test, Qt::LeftButton);
        messages.queueAnswer(MsgResult::Yes);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_EQ(messages.calls(), (QList<Call>{failure, question}));
        EXPECT_EQ(opened.window->result(), QDialog::Accepted);
        if (which == Window::LanMain) {
            EXPECT_EQ(settings.get(QStringLiteral("ServerPath")), nowhere);
            EXPECT_NE(Fixtures::readAll(path(QStringLiteral("MCdatalink.udl"))), link);
        } else {
            EXPECT_EQ(configValue(QStringLiteral("DatabasePath")), nowhere);
        }

        messages.clear();
        Open again = open(which);
        QPushButton* okAgain = again.ok;
        replaceText(again.folder, nowhere);
        QTest::mouseClick(again.test, Qt::LeftButton);
        replaceText(again.folder, good);
        QTest::mouseClick(okAgain, Qt::LeftButton);
        EXPECT_EQ(messages.calls(), QList<Call>{failure});
        EXPECT_EQ(again.window->result(), QDialog::Accepted);
    }
    EXPECT_EQ(messages.pendingAnswers(), 0);
    EXPECT_FALSE(fatal.ended());
}

TEST_F(ConnectionWindowsTest, AFolderWithALineBreakOrTooLongForTheEngineIsRefusedWithAMessage)
{
    makeFolder(0);
    // A folder that exists and is too long: nested, as one name holds at most 255 bytes.
    QString deep = dir.path();
    while (deep.size() < 520)
        deep += QLatin1Char('/') + QString(60, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    struct Case
    {
        Window which;
        QString folder;
        Call told;
        Call testTold;
    };
    const Call lineBreak{ConnectionFolderBox::LineBreakText, MsgStyle::Exclamation, QString()};
    const auto tooLong = [](const QString& folder) {
        return Call{ConnectionFolderBox::TooLongText.arg(folder.size()), MsgStyle::Exclamation, QString()};
    };
    // Short enough for a path, which the test button tries, but longer than the master's row keeps.
    const QString longRow = QStringLiteral("/srv/") + QString(260, QLatin1Char('k'));
    const Call failure{ConnectionTestButton::FailureText, MsgStyle::OkOnly, QString()};
    const Case cases[] = {
        {Window::LanMain, root + QStringLiteral("\n/evil"), lineBreak, lineBreak},
        {Window::LanMain, root + QStringLiteral("\r\n"), lineBreak, lineBreak},
        {Window::LanMain, deep, tooLong(deep), tooLong(deep)},
        {Window::LanConnection, root + QStringLiteral("\n"), lineBreak, lineBreak},
        {Window::LanConnection, deep, tooLong(deep), tooLong(deep)},
        {Window::LanConnection, longRow, tooLong(longRow), failure},
    };
    const auto stored = [&] {
        return Stored{settings.get(QStringLiteral("ServerPath")),
                      Fixtures::readAll(path(QStringLiteral("MCdatalink.udl"))),
                      configValue(QStringLiteral("DatabasePath"))};
    };
    const Stored before = stored();
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(int(c.which)).arg(c.folder.left(40)).toStdString());
        messages.clear();
        Open opened = open(c.which);
        opened.folder->clear();
        opened.folder->setFocus();
        // Pasted, as a person would bring a line break into the box.
        QGuiApplication::clipboard()->setText(c.folder);
        QTest::keyClick(opened.folder, Qt::Key_V, Qt::ControlModifier);
        ASSERT_EQ(opened.folder->text(), c.folder);
        QTest::mouseClick(opened.test, Qt::LeftButton);
        QTest::mouseClick(opened.ok, Qt::LeftButton);
        EXPECT_EQ(messages.calls(), (QList<Call>{c.testTold, c.told}));
        EXPECT_TRUE(opened.window->isVisible());
        EXPECT_EQ(stored(), before);
        EXPECT_EQ(globals.DatabasePath, root);
        EXPECT_EQ(globals.ServerPath, root);
    }
    EXPECT_FALSE(fatal.ended());
}

} // namespace

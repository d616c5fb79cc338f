#include "engine/Convert.h"
#include "engine/Recordset.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/windows/frmAddCompany.h"
#include "launcher/windows/frmChooseCompany.h"
#include "launcher/windows/frmEditCompany.h"
#include "shared/AppFolder.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"
#include "tests/support/Unprivileged.h"
#include "tests/support/WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <sys/stat.h>

namespace {

class CompanyDialogsTest : public WindowFixture
{
protected:
    // Queues a person's use of the add dialog: type the name, press OK (and, when the dialog stays open
    // after an error, Cancel).
    void scriptAdd(const QString& name, bool expectOpenAfterOk = false)
    {
        modal.queueScript([=, this](QDialog& dialog) {
            auto* add = dynamic_cast<frmAddCompany*>(&dialog);
            ASSERT_NE(add, nullptr);
            EXPECT_EQ(add->windowTitle(), QStringLiteral("# เพิ่มข้อมูลบริษัท #"));
            typeText(add->txtCompanyName, name);
            QTest::mouseClick(add->OKButton, Qt::LeftButton);
            EXPECT_EQ(add->isVisible(), expectOpenAfterOk);
            if (add->isVisible())
                QTest::mouseClick(add->CancelButton, Qt::LeftButton);
        });
    }
    QStringList companyNames()
    {
        QStringList names;
        Recordset rs = MdlDAO::GetCompanyList(globals);
        for (int i = 0; i < rs.recordCount(); ++i, rs.moveNext())
            names << Convert::toText(rs.value(QStringLiteral("COMPANY_NAME")));
        return names;
    }
};

TEST_F(CompanyDialogsTest, AddingCreatesTheRowAndCopiesTheTemplateIntoTheCompanysFolder)
{
    makeFolder(2);
    auto chooser = openChooser();
    const QString name = QStringLiteral(" O'Brien; ห้างหุ้นส่วน \"ดี\" ");
    scriptAdd(name);
    QTest::mouseClick(chooser->CmdAddCompany, Qt::LeftButton);

    EXPECT_EQ(modal.shown(), QStringList{QStringLiteral("frmAddCompany")});
    Recordset rs = MdlDAO::GetCompanyByID(globals, 3);
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.value(QStringLiteral("COMPANY_NAME")).toString(), name) << "stored as typed, blanks kept";
    EXPECT_EQ(rs.value(QStringLiteral("COMPANY_PATH")).toString(), QString());
    EXPECT_EQ(rs.value(QStringLiteral("IS_SELECT")).toInt(), 0);
    EXPECT_EQ(rs.value(QStringLiteral("IS_DELETED")).toInt(), 0);
    EXPECT_EQ(rs.value(QStringLiteral("DATABASE_NAME")).toString(), QStringLiteral("3.mdb"));
    EXPECT_EQ(rs.value(QStringLiteral("DATABASE_PATH")).toString(), dir.path());
    EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("CompanyData/3/3.mdb"))),
              Fixtures::readAll(path(QStringLiteral("CompanyData/Larkspur.mdb"))));
    EXPECT_EQ(chooser->gridRowCount(), 4);
    EXPECT_EQ(chooser->GetSelectedCompany(), 0) << "the new company is not picked";
    EXPECT_TRUE(messages.calls().isEmpty());
}

TEST_F(CompanyDialogsTest, NamesUpToTheColumnsSizeAreKeptAndLongerOnesRefused)
{
    makeFolder(0);
    auto chooser = openChooser();
    scriptAdd(QString(255, QChar(0x0E01)));
    QTest::mouseClick(chooser->CmdAddCompany, Qt::LeftButton);
    scriptAdd(QString(256, QLatin1Char('x')), true);
    QTest::mouseClick(chooser->CmdAddCompany, Qt::LeftButton);

    EXPECT_EQ(companyNames(), QStringList{QString(255, QChar(0x0E01))});
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(messages.calls()[0], (ScriptedMessageBox::Call{QStringLiteral("เกิดข้อผิดพลาด"), 16, QString()}));
    EXPECT_FALSE(QDir(path(QStringLiteral("CompanyData/2"))).exists());
}

TEST_F(CompanyDialogsTest, AnAddThatCannotHaveItsDatabaseAddsNothing)
{
    struct Case
    {
        const char* what;
        std::function<void()> arrange;
    } cases[] = {
        {"no template",
         [this] {
             QFile::remove(path(QStringLiteral("CompanyData/Larkspur.mdb")));
         }},
        {"copy cancelled half-way",
         [this] {
             fileUi.cancelAfterUpdates(1);
         }},
        {"identifiers used up",
         [this] {
             sql(QStringLiteral(
                 "insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME, DATABASE_PATH) "
                 "values (32767, 'last', '32767.mdb', '')"));
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useFolder(QStringLiteral("case%1").arg(++n));
        makeFolder(1);
        // A template of several chunks, so that a cancel can land in the middle of it.
        Fixtures::writeAll(path(QStringLiteral("CompanyData/Larkspur.mdb")),
                           Fixtures::readAll(path(QStringLiteral("CompanyData/Larkspur.mdb"))) +
                               QByteArray(512 * 1024, '\0'));
        c.arrange();
        const QStringList before = companyNames();
        messages.clear();
        auto chooser = openChooser();
        scriptAdd(QStringLiteral("new one"), true);
        QTest::mouseClick(chooser->CmdAddCompany, Qt::LeftButton);
        EXPECT_EQ(companyNames(), before);
        ASSERT_EQ(messages.calls().size(), 1);
        EXPECT_EQ(messages.calls()[0].text, QStringLiteral("เกิดข้อผิดพลาด"));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("CompanyData/2/2.mdb"))));
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("CompanyData/2")))) << "the folder made goes too";
    }
}

TEST_F(CompanyDialogsTest, AFolderLeftWithAnOldFileIsPassedByAndTheFileKept)
{
    makeFolder(2);
    QDir().mkpath(path(QStringLiteral("CompanyData/3")));
    Fixtures::writeAll(path(QStringLiteral("CompanyData/3/3.mdb")), "left behind");
    auto chooser = openChooser();

    scriptAdd(QStringLiteral("third"));
    QTest::mouseClick(chooser->CmdAddCompany, Qt::LeftButton);

    EXPECT_TRUE(fileUi.questions().isEmpty());
    EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("CompanyData/3/3.mdb"))), QByteArray("left behind"));
    EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("CompanyData/4/4.mdb"))),
              Fixtures::readAll(path(QStringLiteral("CompanyData/Larkspur.mdb"))));
    EXPECT_EQ(companyNames().size(), 3);
    EXPECT_EQ(MdlDAO::GetCompanyByID(globals, 4).recordCount(), 1);
}

TEST_F(CompanyDialogsTest, AReadOnlyDataFolderRefusesTheAddAndLeavesNoRow)
{
    makeFolder(1);
    Unprivileged::makeReachable(dir.path());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    ::chmod(QFile::encodeName(path(QStringLiteral("MCLarkspur.mdb"))).constData(), 0666);
    ::chmod(QFile::encodeName(path(QStringLiteral("CompanyData"))).constData(), 0555);
    ::chmod(QFile::encodeName(path(QStringLiteral("CompanyData/Larkspur.mdb"))).constData(), 0444);
    globals.MasterConnection.close();

    const int status = Unprivileged::run([&] {
        LauncherGlobals own;
        own.MasterConnection.open(AppFolder::MasterDataLinkReference(dir.path()));
        own.DatabasePath = dir.path();
        if (MdlDAO::AddCompany(own, files, QStringLiteral("no room")))
            return 1;
        Recordset rs = MdlDAO::GetCompanyList(own);
        return rs.recordCount() == 1 ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(QDir(path(QStringLiteral("CompanyData/2"))).exists());
}

TEST_F(CompanyDialogsTest, EditingChangesNameAndFileNameOnlyAndClearsTheFlags)
{
    makeFolder(2);
    sql(QStringLiteral(
        "update Company set IS_SELECT = 1, IS_DELETED = 1, COMPANY_PATH = 'kept' where COMPANY_ID = 2"));
    auto chooser = openChooser();
    QTableView* grid = chooser->MSHFlexGrid1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(1, 1)).center());
    ASSERT_EQ(chooser->GetSelectedCompany(), 2);

    modal.queueScript([&](QDialog& dialog) {
        auto* edit = dynamic_cast<frmEditCompany*>(&dialog);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->windowTitle(), QStringLiteral("# แก้ไขข้อมูลบริษัท #"));
        EXPECT_EQ(edit->txtCompanyID->text(), QStringLiteral("2"));
        EXPECT_FALSE(edit->txtCompanyID->isEnabled());
        EXPECT_EQ(edit->txtDatabaseName->text(), QStringLiteral("2.mdb"));
        EXPECT_TRUE(edit->txtCompanyName->hasFocus());
        edit->txtCompanyName->clear();
        typeText(edit->txtCompanyName, QStringLiteral("ชื่อใหม่ "));
        edit->txtDatabaseName->clear();
        typeText(edit->txtDatabaseName, QStringLiteral("renamed.mdb"));
        QTest::mouseClick(edit->OKButton, Qt::LeftButton);
        EXPECT_FALSE(edit->isVisible());
    });
    QTest::mouseClick(chooser->CmdEditCompany, Qt::LeftButton);

    Recordset rs = MdlDAO::GetCompanyByID(globals, 2);
    EXPECT_EQ(rs.value(QStringLiteral("COMPANY_NAME")).toString(), QStringLiteral("ชื่อใหม่ "));
    EXPECT_EQ(rs.value(QStringLiteral("DATABASE_NAME")).toString(), QStringLiteral("renamed.mdb"));
    EXPECT_EQ(rs.value(QStringLiteral("IS_SELECT")).toInt(), 0);
    EXPECT_EQ(rs.value(QStringLiteral("IS_DELETED")).toInt(), 0);
    EXPECT_EQ(rs.value(QStringLiteral("COMPANY_PATH")).toString(), QStringLiteral("kept"));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("CompanyData/2/2.mdb"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("CompanyData/2/renamed.mdb"))));
    EXPECT_EQ(grid->model()->index(1, 2).data().toString(), QStringLiteral("ชื่อใหม่ "));
}

TEST_F(CompanyDialogsTest, EditingWithNothingPickedShowsEmptyBoxesAndRefusesOk)
{
    makeFolder(1);
    auto chooser = openChooser();
    modal.queueScript([&](QDialog& dialog) {
        auto* edit = dynamic_cast<frmEditCompany*>(&dialog);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->txtCompanyName->text().isEmpty());
        EXPECT_TRUE(edit->txtCompanyID->text().isEmpty());
        EXPECT_TRUE(edit->txtDatabaseName->text().isEmpty());
        QTest::mouseClick(edit->OKButton, Qt::LeftButton);
        EXPECT_TRUE(edit->isVisible());
    });
    QTest::mouseClick(chooser->CmdEditCompany, Qt::LeftButton);
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(messages.calls()[0], (ScriptedMessageBox::Call{QStringLiteral("เกิดข้อผิดพลาด"), 16, QString()}));
}

TEST_F(CompanyDialogsTest, DialogTabOrders)
{
    makeFolder(1);
    frmAddCompany add(globals, services);
    EXPECT_EQ(tabSequence(&add, add.OKButton, 3),
              (QList<QWidget*>{add.OKButton, add.CancelButton, add.txtCompanyName, add.OKButton}));
    add.close();
    frmChooseCompany chooser(globals, services, windows);
    frmEditCompany edit(globals, services, chooser);
    // The identifier box is shown disabled, so the keyboard passes it by.
    EXPECT_EQ(tabSequence(&edit, edit.OKButton, 4),
              (QList<QWidget*>{edit.OKButton, edit.CancelButton, edit.txtCompanyName, edit.txtDatabaseName,
                               edit.OKButton}));
}

} // namespace

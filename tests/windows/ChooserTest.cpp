#include "engine/Connection.h"
#include "engine/Convert.h"
#include "engine/Recordset.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/windows/frmChooseCompany.h"
#include "shared/AppFolder.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"
#include "tests/support/WindowFixture.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

namespace {

class ChooserTest : public WindowFixture
{
protected:
    // Clicks the data row of the grid that shows the identifier (grid row 1 is the first data row).
    void pick(frmChooseCompany& chooser, int gridRow)
    {
        QTableView* grid = chooser.MSHFlexGrid1;
        const QModelIndex cell = grid->model()->index(gridRow - 1, 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    }
    QString cell(frmChooseCompany& chooser, int gridRow, int column)
    {
        return chooser.MSHFlexGrid1->model()->index(gridRow - 1, column).data().toString();
    }
    QString configValue(const QString& head)
    {
        return Fixtures::sqlcipherShell(
            path(QStringLiteral("MCLarkspur.mdb")),
            QStringLiteral("SELECT Config_Value FROM Config_Data WHERE Config_Head = '%1';").arg(head),
            AppFolder::CommonPassword);
    }
    int companyRows()
    {
        Recordset rs = MdlDAO::GetCompanyList(globals);
        return rs.recordCount();
    }
};

TEST_F(ChooserTest, TheGridShowsItsHeaderAndEveryCompanyCentred)
{
    makeFolder(3);
    auto chooser = openChooser();
    EXPECT_EQ(chooser->windowTitle(), QStringLiteral("# เลือกบริษัทที่ต้องการใช้งาน #"));
    QAbstractItemModel* model = chooser->MSHFlexGrid1->model();
    const QStringList headers = {QString(), QStringLiteral("ลำดับ"), QStringLiteral("รายชื่อบริษัท"),
                                 QStringLiteral("xx")};
    const int widths[] = {5, 1000, 3500, 5};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), headers[column]);
        EXPECT_EQ(model->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                  int(Qt::AlignCenter));
        EXPECT_EQ(model->headerData(column, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(),
                  QApplication::palette().color(QPalette::Button));
        EXPECT_EQ(chooser->MSHFlexGrid1->horizontalHeader()->sectionSize(column), (widths[column] + 7) / 15);
    }
    ASSERT_EQ(chooser->gridRowCount(), 4);
    Recordset rs = MdlDAO::GetCompanyList(globals);
    for (int row = 1; row <= 3; ++row, rs.moveNext()) {
        EXPECT_EQ(cell(*chooser, row, 1), Convert::toText(rs.value(QStringLiteral("COMPANY_ID"))));
        EXPECT_EQ(cell(*chooser, row, 2), Convert::toText(rs.value(QStringLiteral("COMPANY_NAME"))));
        EXPECT_EQ(model->index(row - 1, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    }
}

TEST_F(ChooserTest, TheNameColumnNarrowsForTheScrollBarAboveSevenRows)
{
    struct Case
    {
        int companies;
        int width;
    } cases[] = {{6, 3500}, {7, 3230}};
    for (const Case& c : cases) {
        QTemporaryDir folder;
        AppFolderMaker::make(folder.path(), {false, c.companies});
        LauncherGlobals own;
        own.MasterConnection.open(AppFolder::MasterDataLinkReference(folder.path()));
        frmChooseCompany chooser(own, services, windows);
        EXPECT_EQ(chooser.gridRowCount(), c.companies + 1);
        EXPECT_EQ(chooser.MSHFlexGrid1->horizontalHeader()->sectionSize(2), (c.width + 7) / 15)
            << c.companies;
    }
}

// The grid makes a cell's text only when asked: every row of a list longer than the window is still read
// aloud as it is stored, can be scrolled to, and picked.
TEST_F(ChooserTest, EveryRowOfALongListIsReadAloudScrolledToAndPicked)
{
    constexpr int Companies = 40;
    makeFolder(Companies);
    sql(QStringLiteral("UPDATE Company SET COMPANY_NAME = 'Last & Sons' WHERE COMPANY_ID = %1")
            .arg(Companies));
    auto chooser = openChooser();
    QTableView* grid = chooser->MSHFlexGrid1;
    ASSERT_EQ(chooser->gridRowCount(), Companies + 1);
    ASSERT_FALSE(
        grid->viewport()->rect().intersects(grid->visualRect(grid->model()->index(Companies - 1, 1))));

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table->tableInterface(), nullptr);
    ASSERT_EQ(table->tableInterface()->rowCount(), Companies);
    Recordset rs = MdlDAO::GetCompanyList(globals);
    for (int row = 0; row < Companies; ++row, rs.moveNext()) {
        const QString id = Convert::toText(rs.value(QStringLiteral("COMPANY_ID")));
        const QString name = Convert::toText(rs.value(QStringLiteral("COMPANY_NAME")));
        QAccessibleInterface* idCell = table->tableInterface()->cellAt(row, 1);
        QAccessibleInterface* nameCell = table->tableInterface()->cellAt(row, 2);
        ASSERT_TRUE(idCell != nullptr && nameCell != nullptr) << row;
        EXPECT_EQ(idCell->text(QAccessible::Name), id) << row;
        EXPECT_EQ(nameCell->text(QAccessible::Name), name) << row;
    }

    const QModelIndex last = grid->model()->index(Companies - 1, 1);
    grid->scrollTo(last);
    ASSERT_TRUE(grid->viewport()->rect().contains(grid->visualRect(last).center()));
    pick(*chooser, Companies);
    EXPECT_EQ(chooser->GetSelectedCompany(), Companies);
    EXPECT_EQ(chooser->txtcompanyName->text(), QStringLiteral("Last & Sons"));
}

TEST_F(ChooserTest, PickingAndConfirmingStoresTheChoiceInFourPlaces)
{
    makeFolder(3);
    auto chooser = openChooser();
    pick(*chooser, 2);
    const QString name = cell(*chooser, 2, 2);
    EXPECT_EQ(chooser->txtcompanyName->text(), name);
    EXPECT_EQ(chooser->GetSelectedCompany(), 2);

    QTest::mouseClick(chooser->OKButton, Qt::LeftButton);

    EXPECT_EQ(chooser->result(), QDialog::Accepted);
    EXPECT_EQ(globals.CurrentCompanyID, 2);
    EXPECT_EQ(globals.CurrentCompanyName, name);
    EXPECT_EQ(settings.get(QStringLiteral("companyid")), QStringLiteral("2"));
    EXPECT_EQ(configValue(QStringLiteral("CurrentCompany")), QStringLiteral("2"));
    EXPECT_EQ(
        Fixtures::readAll(path(QStringLiteral("datalink.udl"))),
        Fixtures::dataLinkBytes(AppFolder::JetConnectionString(path(QStringLiteral("CompanyData/2/2.mdb")))));
    EXPECT_TRUE(messages.calls().isEmpty());
}

TEST_F(ChooserTest, OpensWithTheCurrentCompanyPickedAndConfirmingNothingStoresZero)
{
    makeFolder(2);
    globals.CurrentCompanyID = 1;
    globals.CurrentCompanyName = QStringLiteral("ชื่อปัจจุบัน");
    {
        auto chooser = openChooser();
        EXPECT_EQ(chooser->txtcompanyName->text(), QStringLiteral("ชื่อปัจจุบัน"));
        EXPECT_EQ(chooser->GetSelectedCompany(), 1);
    }
    globals.CurrentCompanyID = 0;
    auto chooser = openChooser();
    QTest::mouseClick(chooser->OKButton, Qt::LeftButton);
    EXPECT_EQ(globals.CurrentCompanyID, 0);
    EXPECT_EQ(settings.get(QStringLiteral("companyid")), QStringLiteral("0"));
    EXPECT_EQ(configValue(QStringLiteral("CurrentCompany")), QStringLiteral("0"));
}

TEST_F(ChooserTest, CancelStoresNothing)
{
    makeFolder(2);
    auto chooser = openChooser();
    pick(*chooser, 1);
    QTest::mouseClick(chooser->CancelButton, Qt::LeftButton);
    EXPECT_EQ(chooser->result(), QDialog::Rejected);
    EXPECT_EQ(globals.CurrentCompanyID, 0);
    EXPECT_FALSE(settings.contains(QStringLiteral("companyid")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("datalink.udl"))));
    EXPECT_EQ(configValue(QStringLiteral("CurrentCompany")), QStringLiteral("0"));
}

TEST_F(ChooserTest, AFailedSaveOfTheCurrentCompanySaysSoAndKeepsTheWindowOpen)
{
    makeFolder(2);
    sql(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE UPDATE ON Config_Data BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    auto chooser = openChooser();
    pick(*chooser, 2);
    QTest::mouseClick(chooser->OKButton, Qt::LeftButton);
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(messages.calls()[0], (ScriptedMessageBox::Call{QStringLiteral("เกิดข้อผิดพลาด"), 16, QString()}));
    EXPECT_TRUE(chooser->isVisible());
    // What was stored before the failing step stays stored.
    EXPECT_EQ(globals.CurrentCompanyID, 2);
    EXPECT_EQ(settings.get(QStringLiteral("companyid")), QStringLiteral("2"));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("datalink.udl"))));
}

TEST_F(ChooserTest, ARowWithoutAnIdentifierIsNoPick)
{
    makeFolder(0);
    auto chooser = openChooser();
    EXPECT_EQ(chooser->gridRowCount(), 1);
    chooser->MSHFlexGrid1->selectAll();
    EXPECT_EQ(chooser->GetSelectedCompany(), 0);
    EXPECT_TRUE(chooser->txtcompanyName->text().isEmpty());
    EXPECT_FALSE(fatal.ended());
}

TEST_F(ChooserTest, DeleteAsksTwiceAndDoesWhatWasAnswered)
{
    makeFolder(3);
    const QString file2 = path(QStringLiteral("CompanyData/2/2.mdb"));
    const QString file3 = path(QStringLiteral("CompanyData/3/3.mdb"));
    auto chooser = openChooser();

    // No to the first question: nothing changes.
    pick(*chooser, 2);
    messages.queueAnswer(MsgResult::No);
    QTest::mouseClick(chooser->CmdDeleteCompany, Qt::LeftButton);
    EXPECT_EQ(companyRows(), 3);
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(messages.calls()[0], (ScriptedMessageBox::Call{QStringLiteral("คุณต้องการที่จะลบข้อมูลบริษัทใช่หรือไม่? "),
                                                             36, QStringLiteral("Comfirm Exit")}));

    // Yes, then No: the row goes, the file stays.
    messages.clear();
    messages.queueAnswer(MsgResult::Yes);
    messages.queueAnswer(MsgResult::No);
    QTest::mouseClick(chooser->CmdDeleteCompany, Qt::LeftButton);
    ASSERT_EQ(messages.calls().size(), 2);
    EXPECT_EQ(messages.calls()[1],
              (ScriptedMessageBox::Call{QStringLiteral("คุณต้องการที่จะลบฐานข้อมูลบริษัทด้วยหรือไม่? "), 36,
                                        QStringLiteral("Comfirm Exit")}));
    EXPECT_EQ(companyRows(), 2);
    EXPECT_TRUE(QFile::exists(file2));
    EXPECT_EQ(chooser->gridRowCount(), 3);
    EXPECT_EQ(chooser->GetSelectedCompany(), 0);
    EXPECT_TRUE(chooser->txtcompanyName->text().isEmpty());

    // Yes, Yes: the row goes and the file is in the desktop trash, its folder stays.
    pick(*chooser, 2);
    ASSERT_EQ(chooser->GetSelectedCompany(), 3);
    messages.queueAnswer(MsgResult::Yes);
    messages.queueAnswer(MsgResult::Yes);
    QTest::mouseClick(chooser->CmdDeleteCompany, Qt::LeftButton);
    EXPECT_EQ(companyRows(), 1);
    EXPECT_FALSE(QFile::exists(file3));
    EXPECT_TRUE(QDir(path(QStringLiteral("CompanyData/3"))).exists());
    const QString trash =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/files/3.mdb")));
    EXPECT_TRUE(Fixtures::readAll(trash + QStringLiteral("/info/3.mdb.trashinfo"))
                    .contains(QFile::encodeName(file3)));
    EXPECT_TRUE(fileUi.questions().isEmpty()) << "no confirmation of the shell's own";
    EXPECT_FALSE(fatal.ended());
}

TEST_F(ChooserTest, DeletingTheCurrentCompanyStopsItBeingCurrentEverywhere)
{
    makeFolder(2);
    auto chooser = openChooser();
    pick(*chooser, 2);
    QTest::mouseClick(chooser->OKButton, Qt::LeftButton);
    ASSERT_EQ(settings.get(QStringLiteral("companyid")), QStringLiteral("2"));

    auto again = openChooser();
    EXPECT_EQ(again->GetSelectedCompany(), 2);
    messages.queueAnswer(MsgResult::Yes);
    messages.queueAnswer(MsgResult::No);
    QTest::mouseClick(again->CmdDeleteCompany, Qt::LeftButton);
    EXPECT_EQ(settings.get(QStringLiteral("companyid")), QStringLiteral("0"));
    EXPECT_EQ(configValue(QStringLiteral("CurrentCompany")), QStringLiteral("0"));
    EXPECT_EQ(globals.CurrentCompanyID, 0);
    EXPECT_EQ(again->GetSelectedCompany(), 0);
    EXPECT_TRUE(again->txtcompanyName->text().isEmpty());
}

TEST_F(ChooserTest, DeletingWithTheFileAlreadyGoneOrNoFileNameTrashesNothing)
{
    makeFolder(2);
    QFile::remove(path(QStringLiteral("CompanyData/1/1.mdb")));
    sql(QStringLiteral("update Company set DATABASE_NAME = '' where COMPANY_ID = 2"));
    auto chooser = openChooser();
    for (int row : {1, 1}) {
        pick(*chooser, row);
        messages.queueAnswer(MsgResult::Yes);
        messages.queueAnswer(MsgResult::Yes);
        QTest::mouseClick(chooser->CmdDeleteCompany, Qt::LeftButton);
    }
    EXPECT_EQ(companyRows(), 0);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("CompanyData/2/2.mdb"))));
    EXPECT_TRUE(fileUi.errors().isEmpty());
    EXPECT_FALSE(fatal.ended());
    // The last company gone, the grid keeps only its header.
    EXPECT_EQ(chooser->gridRowCount(), 1);
}

TEST_F(ChooserTest, TheServerButtonOpensTheDataLocationWindow)
{
    makeFolder(1);
    auto chooser = openChooser();
    QTest::mouseClick(chooser->btnConnect, Qt::LeftButton);
    EXPECT_EQ(windows.lanConnectionShown, 1);
}

TEST_F(ChooserTest, TabOrderFollowsTheButtons)
{
    makeFolder(1);
    auto chooser = openChooser();
    EXPECT_EQ(tabSequence(chooser.get(), chooser->OKButton, 7),
              (QList<QWidget*>{chooser->OKButton, chooser->CancelButton, chooser->txtcompanyName,
                               chooser->CmdEditCompany, chooser->CmdAddCompany, chooser->CmdDeleteCompany,
                               chooser->btnConnect, chooser->MSHFlexGrid1}));
    EXPECT_TRUE(chooser->txtcompanyName->isReadOnly());
}

} // namespace

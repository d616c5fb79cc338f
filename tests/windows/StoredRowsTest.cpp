#include "engine/Recordset.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/windows/frmChooseCompany.h"
#include "launcher/windows/frmEditCompany.h"
#include "launcher/windows/frmLogin.h"
#include "shared/AppFolder.h"
#include "tests/support/DiskSnapshot.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"
#include "tests/support/WindowFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

// Rows of the master as other programs and older versions leave them, written with the sqlcipher shell.
class StoredRowsTest : public WindowFixture
{
protected:
    void shell(const QString& statement)
    {
        globals.MasterConnection.close();
        const QString out = Fixtures::sqlcipherShell(path(QStringLiteral("MCLarkspur.mdb")), statement,
                                                     AppFolder::CommonPassword);
        EXPECT_TRUE(out.isEmpty()) << out.toStdString();
        globals.MasterConnection.open(AppFolder::MasterDataLinkReference(root));
    }
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
    std::unique_ptr<frmLogin> loadLogin()
    {
        auto login = std::make_unique<frmLogin>(globals, services, windows);
        login->Form_Load();
        login->show();
        return login;
    }
};

TEST_F(StoredRowsTest, OddRowsShowAsTextAndOnlyAValidIdentifierIsAPick)
{
    makeFolder(1);
    shell(QStringLiteral(
        "INSERT INTO Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME, DATABASE_PATH) VALUES "
        "(2, NULL, NULL, ''), (NULL, 'no id', '5.mdb', ''), ('abc', 'text id', 'abc.mdb', ''), "
        "(70000, 'beyond 16 bits', '70000.mdb', ''), (1.5, 'a fraction', '1.mdb', '');"));
    settings.save(QStringLiteral("companyid"), QStringLiteral("2"));
    auto login = loadLogin();
    EXPECT_EQ(globals.CurrentCompanyID, 2);
    EXPECT_EQ(login->lblCompanyName->text(), QString()) << "a null name shows empty";
    EXPECT_TRUE(login->cmdOK->isEnabled());

    globals.CurrentCompanyID = 0;
    auto chooser = openChooser();
    ASSERT_EQ(chooser->gridRowCount(), 7);
    QStringList shown;
    for (int row = 1; row <= 6; ++row)
        shown << cell(*chooser, row, 1) + QLatin1Char('|') + cell(*chooser, row, 2);
    shown.sort();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("1.5|a fraction"),
                                  QStringLiteral("1|") +
                                      Fixtures::sqlcipherShell(path(QStringLiteral("MCLarkspur.mdb")),
                                                               QStringLiteral("SELECT COMPANY_NAME FROM "
                                                                              "Company WHERE COMPANY_ID=1;"),
                                                               AppFolder::CommonPassword),
                                  QStringLiteral("2|"), QStringLiteral("70000|beyond 16 bits"),
                                  QStringLiteral("abc|text id"), QStringLiteral("|no id")}));

    for (int row = 1; row <= 6; ++row) {
        const QString id = cell(*chooser, row, 1);
        SCOPED_TRACE(id.toStdString());
        const std::int16_t selected = chooser->GetSelectedCompany();
        const QString selectedName = chooser->txtcompanyName->text();
        pick(*chooser, row);
        if (id == QStringLiteral("1") || id == QStringLiteral("2")) {
            EXPECT_EQ(QString::number(chooser->GetSelectedCompany()), id);
            EXPECT_EQ(chooser->txtcompanyName->text(), cell(*chooser, row, 2));
        } else {
            EXPECT_EQ(chooser->GetSelectedCompany(), selected) << "no pick";
            EXPECT_EQ(chooser->txtcompanyName->text(), selectedName);
        }
    }
    // The row with nulls can be repaired from the edit dialog.
    for (int row = 1; row <= 6; ++row) {
        if (cell(*chooser, row, 1) == QStringLiteral("2"))
            pick(*chooser, row);
    }
    ASSERT_EQ(chooser->GetSelectedCompany(), 2);
    modal.queueScript([](QDialog& dialog) {
        auto* edit = dynamic_cast<frmEditCompany*>(&dialog);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->txtCompanyID->text(), QStringLiteral("2"));
        EXPECT_TRUE(edit->txtCompanyName->text().isEmpty());
        EXPECT_TRUE(edit->txtDatabaseName->text().isEmpty());
        typeText(edit->txtCompanyName, QStringLiteral("ซ่อมแล้ว"));
        typeText(edit->txtDatabaseName, QStringLiteral("2.mdb"));
        QTest::mouseClick(edit->OKButton, Qt::LeftButton);
        EXPECT_FALSE(edit->isVisible());
    });
    QTest::mouseClick(chooser->CmdEditCompany, Qt::LeftButton);
    Recordset rs = MdlDAO::GetCompanyByID(globals, 2);
    EXPECT_EQ(rs.value(QStringLiteral("COMPANY_NAME")).toString(), QStringLiteral("ซ่อมแล้ว"));
    EXPECT_EQ(rs.value(QStringLiteral("DATABASE_NAME")).toString(), QStringLiteral("2.mdb"));
    EXPECT_TRUE(messages.calls().isEmpty());
    EXPECT_FALSE(fatal.ended());
}

TEST_F(StoredRowsTest, TheEditDialogRefusesADatabaseNameThatIsNoPlainFileName)
{
    makeFolder(2);
    const QStringList refused = {QStringLiteral("../1/1.mdb"),  QStringLiteral(".."),
                                 QStringLiteral("."),           QString(),
                                 QStringLiteral("sub/2.mdb"),   QStringLiteral("..\\1\\1.mdb"),
                                 QStringLiteral("/etc/passwd"), QStringLiteral("tab\t.mdb")};
    auto chooser = openChooser();
    pick(*chooser, 2);
    for (const QString& name : refused) {
        SCOPED_TRACE(name.toStdString());
        messages.clear();
        modal.queueScript([&](QDialog& dialog) {
            auto* edit = dynamic_cast<frmEditCompany*>(&dialog);
            ASSERT_NE(edit, nullptr);
            edit->txtDatabaseName->setText(name);
            QTest::mouseClick(edit->OKButton, Qt::LeftButton);
            EXPECT_TRUE(edit->isVisible()) << "stays open with what was typed";
            EXPECT_EQ(edit->txtDatabaseName->text(), name);
        });
        QTest::mouseClick(chooser->CmdEditCompany, Qt::LeftButton);
        ASSERT_EQ(messages.calls().size(), 1);
        EXPECT_EQ(messages.calls()[0],
                  (ScriptedMessageBox::Call{QStringLiteral("เกิดข้อผิดพลาด"), 16, QString()}));
        Recordset rs = MdlDAO::GetCompanyByID(globals, 2);
        EXPECT_EQ(rs.value(QStringLiteral("DATABASE_NAME")).toString(), QStringLiteral("2.mdb"));
    }
}

// A master in which another program stored a name that leads out of the company's folder: picking,
// starting and deleting all refuse it, and no other company's books are named or touched.
TEST_F(StoredRowsTest, AStoredNameThatLeavesTheCompanysFolderIsNeverFollowed)
{
    makeFolder(2);
    shell(QStringLiteral("UPDATE Company SET DATABASE_NAME = '../1/1.mdb' WHERE COMPANY_ID = 2;"));
    const QString dataLink = path(QStringLiteral("datalink.udl"));
    Fixtures::writeAll(dataLink, Fixtures::dataLinkBytes(AppFolder::JetConnectionString(
                                     path(QStringLiteral("CompanyData/1/1.mdb")))));
    const auto before = DiskSnapshot::take(root);

    // Picking and confirming.
    {
        auto chooser = openChooser();
        pick(*chooser, 2);
        QTest::mouseClick(chooser->OKButton, Qt::LeftButton);
        ASSERT_EQ(messages.calls().size(), 1);
        EXPECT_EQ(messages.calls()[0].style, 16);
        EXPECT_TRUE(messages.calls()[0].text.contains(QStringLiteral("../1/1.mdb")));
        EXPECT_TRUE(chooser->isVisible());
        EXPECT_EQ(globals.CurrentCompanyID, 0);
        EXPECT_FALSE(settings.contains(QStringLiteral("companyid")));
    }
    // Starting from the login window.
    messages.clear();
    settings.save(QStringLiteral("companyid"), QStringLiteral("2"));
    {
        auto login = loadLogin();
        ASSERT_TRUE(login->cmdOK->isEnabled());
        QTest::mouseClick(login->cmdOK, Qt::LeftButton);
        EXPECT_TRUE(starter.calls().isEmpty());
        ASSERT_EQ(messages.calls().size(), 1);
        EXPECT_EQ(messages.calls()[0].style, 16);
        EXPECT_TRUE(login->isVisible());
    }
    // Deleting with its database.
    messages.clear();
    {
        auto chooser = openChooser();
        pick(*chooser, 2);
        messages.queueAnswer(MsgResult::Yes);
        messages.queueAnswer(MsgResult::Yes);
        QTest::mouseClick(chooser->CmdDeleteCompany, Qt::LeftButton);
        ASSERT_EQ(messages.calls().size(), 3);
        EXPECT_EQ(messages.calls()[2].style, 16);
        EXPECT_EQ(chooser->gridRowCount(), 3) << "the company stays";
    }
    EXPECT_TRUE(fileUi.errors().isEmpty());
    const auto after = DiskSnapshot::take(root);
    EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
    EXPECT_FALSE(fatal.ended());
}

TEST_F(StoredRowsTest, ACompanyNameIsShownAsPlainText)
{
    makeFolder(1);
    const QString name = QStringLiteral("<b>ตัวหนา</b> <a href=\"file:///etc/passwd\">link</a><img src=x>");
    ASSERT_TRUE(Qt::mightBeRichText(name));
    sql(QStringLiteral("update Company set COMPANY_NAME = '%1' where COMPANY_ID = 1").arg(name));
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    auto login = loadLogin();
    EXPECT_EQ(login->lblCompanyName->text(), name);
    EXPECT_EQ(login->lblCompanyName->textFormat(), Qt::PlainText);
    EXPECT_FALSE(login->lblCompanyName->textInteractionFlags() & Qt::LinksAccessibleByMouse);
    // Drawn as plain text, the markup takes the room of its characters.
    QLabel plain(name);
    plain.setTextFormat(Qt::PlainText);
    QLabel rich(name);
    rich.setTextFormat(Qt::RichText);
    ASSERT_NE(plain.sizeHint(), rich.sizeHint());
    login->lblCompanyName->setWordWrap(false);
    EXPECT_EQ(login->lblCompanyName->sizeHint().width(), plain.sizeHint().width());
}

} // namespace

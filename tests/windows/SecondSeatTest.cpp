#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/windows/frmChooseCompany.h"
#include "launcher/windows/frmLogin.h"
#include "shared/AppFolder.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiskSnapshot.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"
#include "tests/support/WindowFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Remembers what datalink.udl named at the moment the accounting application was started.
class DataLinkWitness : public RecordingProgramStarter
{
public:
    explicit DataLinkWitness(QString dataLink) : m_dataLink(std::move(dataLink)) {}
    int start(const QString& file, const QString& parameters, const QString& directory,
              int showCommand) override
    {
        seen.append(Fixtures::readAll(m_dataLink));
        return RecordingProgramStarter::start(file, parameters, directory, showCommand);
    }
    QList<QByteArray> seen;

private:
    QString m_dataLink;
};

// A second seat on the same application folder: its own settings and its own master connection, as a
// second user's launcher has them.
struct Seat
{
    Seat(const QString& root, const DesktopServices& base)
        : services{base.app,   settings,     base.messages, base.fatal,
                   base.modal, base.starter, base.folders,  base.files}
    {
        globals.MasterConnection.setCursorLocation(Ado::UseClient);
        globals.MasterConnection.open(AppFolder::MasterDataLinkReference(root));
        globals.DatabasePath = root;
        globals.ServerPath = root;
    }
    LauncherGlobals globals;
    MemorySettingsStore settings;
    DesktopServices services;
};

class SecondSeatTest : public WindowFixture
{
protected:
    void pick(frmChooseCompany& chooser, int gridRow)
    {
        QTableView* grid = chooser.MSHFlexGrid1;
        const QModelIndex cell = grid->model()->index(gridRow - 1, 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    }
    QByteArray dataLinkFor(int id)
    {
        return Fixtures::dataLinkBytes(
            AppFolder::JetConnectionString(path(QStringLiteral("CompanyData/%1/%1.mdb").arg(id))));
    }
    QString configValue(const QString& head)
    {
        return Fixtures::sqlcipherShell(
            path(QStringLiteral("MCLarkspur.mdb")),
            QStringLiteral("SELECT Config_Value FROM Config_Data WHERE Config_Head = '%1';").arg(head),
            AppFolder::CommonPassword);
    }
    // Seat B picks and confirms a company in its own chooser.
    void confirmElsewhere(Seat& seat, int gridRow)
    {
        frmChooseCompany chooser(seat.globals, seat.services, windows);
        chooser.show();
        pick(chooser, gridRow);
        QTest::mouseClick(chooser.OKButton, Qt::LeftButton);
        ASSERT_EQ(chooser.result(), QDialog::Accepted);
    }
    void deleteElsewhere(Seat& seat, int gridRow)
    {
        frmChooseCompany chooser(seat.globals, seat.services, windows);
        chooser.show();
        pick(chooser, gridRow);
        messages.queueAnswer(MsgResult::Yes);
        messages.queueAnswer(MsgResult::No);
        QTest::mouseClick(chooser.CmdDeleteCompany, Qt::LeftButton);
    }
};

TEST_F(SecondSeatTest, StartOpensTheCompanyThisLoginShowsWhateverAnotherSeatChose)
{
    makeFolder(3);
    DataLinkWitness witness(path(QStringLiteral("datalink.udl")));
    DesktopServices mine{app, settings, messages, fatal, modal, witness, folders, files};
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    frmLogin login(globals, mine, windows);
    login.Form_Load();
    login.show();
    ASSERT_TRUE(login.cmdOK->isEnabled());

    Seat other(root, services);
    confirmElsewhere(other, 2);
    ASSERT_EQ(Fixtures::readAll(path(QStringLiteral("datalink.udl"))), dataLinkFor(2));

    typeText(login.txtUserName, QStringLiteral("somchai"));
    QTest::mouseClick(login.cmdOK, Qt::LeftButton);
    ASSERT_EQ(witness.seen.size(), 1);
    EXPECT_EQ(witness.seen[0], dataLinkFor(1));
    EXPECT_EQ(login.lblCompanyName->text(), globals.CurrentCompanyName);
    EXPECT_TRUE(messages.calls().isEmpty());
    EXPECT_FALSE(fatal.ended());
}

TEST_F(SecondSeatTest, StartingACompanyAnotherSeatDeletedSaysSoAndStartsNothing)
{
    makeFolder(3);
    settings.save(QStringLiteral("companyid"), QStringLiteral("2"));
    frmLogin login(globals, services, windows);
    login.Form_Load();
    login.show();
    const QString name = globals.CurrentCompanyName;

    Seat other(root, services);
    confirmElsewhere(other, 3);
    deleteElsewhere(other, 2);
    const auto before = DiskSnapshot::take(root);
    messages.clear();

    QTest::mouseClick(login.cmdOK, Qt::LeftButton);
    EXPECT_TRUE(starter.calls().isEmpty());
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(messages.calls()[0].style, 48);
    EXPECT_TRUE(messages.calls()[0].text.contains(name)) << messages.calls()[0].text.toStdString();
    EXPECT_EQ(login.lblCompanyName->text(), QStringLiteral("กรุณาเลือกบริษัท ก่อนที่จะเริ่มใช้งาน"));
    EXPECT_FALSE(login.cmdOK->isEnabled());
    EXPECT_TRUE(login.isVisible());
    const auto after = DiskSnapshot::take(root);
    EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
    EXPECT_FALSE(fatal.ended());
}

TEST_F(SecondSeatTest, ConfirmingACompanyAnotherSeatDeletedMeanwhileStoresNothing)
{
    makeFolder(3);
    settings.save(QStringLiteral("companyid"), QStringLiteral("1"));
    globals.CurrentCompanyID = 1;
    globals.CurrentCompanyName = QStringLiteral("one");
    auto chooser = openChooser();
    pick(*chooser, 2);
    ASSERT_EQ(chooser->GetSelectedCompany(), 2);
    const QString name = chooser->txtcompanyName->text();

    Seat other(root, services);
    deleteElsewhere(other, 2);
    const auto before = DiskSnapshot::take(root);
    messages.clear();

    QTest::mouseClick(chooser->OKButton, Qt::LeftButton);
    ASSERT_EQ(messages.calls().size(), 1);
    EXPECT_EQ(messages.calls()[0].style, 48);
    EXPECT_TRUE(messages.calls()[0].text.contains(name)) << messages.calls()[0].text.toStdString();
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_EQ(chooser->gridRowCount(), 3) << "the grid was filled again";
    EXPECT_EQ(chooser->GetSelectedCompany(), 0);
    EXPECT_EQ(globals.CurrentCompanyID, 1);
    EXPECT_EQ(globals.CurrentCompanyName, QStringLiteral("one"));
    EXPECT_EQ(settings.get(QStringLiteral("companyid")), QStringLiteral("1"));
    EXPECT_EQ(configValue(QStringLiteral("CurrentCompany")), QStringLiteral("0"));
    const auto after = DiskSnapshot::take(root);
    EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
}

// The accounting application (another process) has the company's books open: they cannot go to the
// trash, so the company stays as it was.
TEST_F(SecondSeatTest, DeletingACompanyWhoseBooksAreOpenElsewhereKeepsTheCompany)
{
    makeFolder(3);
    const QString books = path(QStringLiteral("CompanyData/2/2.mdb"));
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    std::fflush(nullptr);
    const pid_t holder = ::fork();
    if (holder == 0) {
        Connection open;
        open.open(AppFolder::JetConnectionString(books));
        (void)!::write(ready[1], "r", 1);
        char byte = 0;
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);

    auto chooser = openChooser();
    pick(*chooser, 2);
    const auto before = DiskSnapshot::take(path(QStringLiteral("CompanyData")));
    messages.queueAnswer(MsgResult::Yes);
    messages.queueAnswer(MsgResult::Yes);
    QTest::mouseClick(chooser->CmdDeleteCompany, Qt::LeftButton);

    (void)!::write(release[1], "x", 1);
    ::waitpid(holder, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);

    ASSERT_EQ(fileUi.errors().size(), 1);
    EXPECT_TRUE(fileUi.errors()[0].contains(QStringLiteral("in use"))) << fileUi.errors()[0].toStdString();
    Recordset rs = MdlDAO::GetCompanyByID(globals, 2);
    EXPECT_EQ(rs.recordCount(), 1) << "the company stays";
    EXPECT_EQ(chooser->gridRowCount(), 4);
    EXPECT_EQ(chooser->GetSelectedCompany(), 2);
    const auto after = DiskSnapshot::take(path(QStringLiteral("CompanyData")));
    EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
    EXPECT_FALSE(fatal.ended());
}

} // namespace

#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/DatabaseCensus.h"
#include "launcher/core/DataLinks.h"
#include "maintenance/TabControl.h"
#include "maintenance/frmMain.h"
#include "shared/AppFolder.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <memory>

using namespace MaintenanceTest;

namespace {

QString jet(const QString& path, const QString& password)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(ConnectionString::quoteValue(path), ConnectionString::quoteValue(password));
}

// Rows of a company's books, every second one deleted again, so that the file has free pages to lose.
void addFreedEntries(const QString& database)
{
    Connection connection;
    connection.open(jet(database, AppFolder::CommonPassword));
    connection.execute(QStringLiteral("CREATE TABLE Ledger (ID INTEGER PRIMARY KEY, Memo MEMO)"));
    connection.execute(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                       "i < 2000) INSERT INTO Ledger (Memo) SELECT hex(randomblob(200)) FROM n"));
    connection.execute(QStringLiteral("DELETE FROM Ledger WHERE ID % 2 = 0"));
}

qint64 entries(const QString& database)
{
    Connection connection;
    connection.open(jet(database, AppFolder::CommonPassword));
    return DatabaseCensus::take(connection).rowsByTable.value(QStringLiteral("Ledger"), -1);
}

class CompactionPage : public MaintenanceFixture
{
protected:
    // The window as a person meets it, on its compaction page.
    std::unique_ptr<frmMain> openWindow()
    {
        auto window = std::make_unique<frmMain>(services);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::mouseClick(window->SSTab1->tabBar(), Qt::LeftButton, {},
                          window->SSTab1->tabBar()->tabRect(2).center());
        EXPECT_EQ(window->SSTab1->currentIndex(), 2);
        return window;
    }
    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

TEST_F(CompactionPage, ChooseAFileThenCompactWithTheWrongAndTheRightPassword)
{
    const QString database = path(QStringLiteral("app/CompanyData/1/1.mdb"));
    addFreedEntries(database);
    const QByteArray original = Fixtures::readAll(database);
    const qint64 originalSize = original.size();
    auto window = openWindow();
    EXPECT_FALSE(window->cmdCompactDatabase->isEnabled());

    // The "..." button: the file dialog asks, the box and the size label fill, the button comes on.
    fileOpen.queueAnswer(database);
    press(window->cmdSelectFile);
    ASSERT_EQ(fileOpen.calls().size(), 1);
    EXPECT_EQ(fileOpen.calls()[0].title, QStringLiteral("Select Access DataBase to Optimize (Compact)"));
    EXPECT_EQ(fileOpen.calls()[0].filter, QStringLiteral("Access Databases|*.mdb"));
    EXPECT_EQ(window->txtCompactFileName->text(), database);
    EXPECT_EQ(window->lblOriginalSize->text(), ComprimirAccess2000::SizeText(originalSize));
    EXPECT_EQ(window->lblFinalSize->text(), QString());
    ASSERT_TRUE(window->cmdCompactDatabase->isEnabled());

    // A wrong password: the password message, the focus back in the password box, the file as it was.
    window->TxtPassword->setFocus();
    typeText(window->TxtPassword, QStringLiteral("wrong"));
    messages.queueAnswer(MsgResult::Yes);
    press(window->cmdCompactDatabase);
    EXPECT_EQ(told(messages),
              (QStringList{QStringLiteral("36|Question|Do you want to compact Database ? "),
                           QStringLiteral("0||Database Password protected.\r\nPlease enter the "
                                          "Correct Password")}));
    EXPECT_TRUE(window->TxtPassword->hasFocus());
    EXPECT_EQ(Fixtures::readAll(database), original);
    EXPECT_EQ(window->lblFinalSize->text(), ComprimirAccess2000::SizeText(originalSize));
    EXPECT_EQ(window->lblOriginalSize->text(), ComprimirAccess2000::SizeText(originalSize));

    // The right one: compacted, replaced, both sizes shown, nothing left in the tool's folder.
    messages.clear();
    window->TxtPassword->clear();
    typeText(window->TxtPassword, AppFolder::CommonPassword);
    messages.queueAnswer(MsgResult::Yes);
    press(window->cmdCompactDatabase);
    EXPECT_EQ(told(messages), (QStringList{QStringLiteral("36|Question|Do you want to compact Database ? "),
                                           QStringLiteral("64|Information|Compact Database Completed...")}));
    const qint64 compactedSize = QFileInfo(database).size();
    EXPECT_LT(compactedSize, originalSize * 3 / 4);
    EXPECT_EQ(window->lblFinalSize->text(), ComprimirAccess2000::SizeText(compactedSize));
    EXPECT_EQ(window->lblOriginalSize->text(), ComprimirAccess2000::SizeText(originalSize));
    EXPECT_EQ(entries(database), 1000);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("app/Temporal.mdb"))));
    EXPECT_EQ(screen.changes(), (QList<bool>{true, false, true, false}));
    EXPECT_FALSE(fatal.ended());
}

TEST_F(CompactionPage, AnEmptiedBoxIsReportedAndACancelledChoiceClearsTheLabels)
{
    auto window = openWindow();
    fileOpen.queueAnswer(path(QStringLiteral("app/MCLarkspur.mdb")));
    press(window->cmdSelectFile);
    EXPECT_FALSE(window->lblOriginalSize->text().isEmpty());

    press(window->cmdSelectFile); // cancelled
    EXPECT_EQ(window->txtCompactFileName->text(), QString());
    EXPECT_EQ(window->lblOriginalSize->text(), QString());
    EXPECT_EQ(window->lblFinalSize->text(), QString());
    ASSERT_TRUE(window->cmdCompactDatabase->isEnabled()) << "emptying the box leaves the button on";

    messages.queueAnswer(MsgResult::Yes);
    press(window->cmdCompactDatabase);
    EXPECT_EQ(told(messages),
              (QStringList{QStringLiteral("36|Question|Do you want to compact Database ? "),
                           QStringLiteral("16|Error|Choose Database file before compact!!!")}));
    EXPECT_TRUE(screen.changes().isEmpty());
}

} // namespace

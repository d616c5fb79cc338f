#include "base/AppError.h"
#include "platform/QtPickers.h"
#include "tests/compaction/CompactionTestSupport.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace CompactionTest;
using namespace ComprimirAccess2000;

namespace {

QString nul()
{
    return QString(QChar(0));
}

TEST(CompactionFileDialog, BuildDialogFilterTurnsEveryBarIntoANulAndClosesTheList)
{
    struct Case
    {
        QString filter;
        QString converted;
    };
    const Case cases[] = {
        {QStringLiteral("Access Databases|*.mdb"),
         QStringLiteral("Access Databases") + nul() + QStringLiteral("*.mdb") + nul()},
        {QStringLiteral("Access Databases|*.mdb|"),
         QStringLiteral("Access Databases") + nul() + QStringLiteral("*.mdb") + nul() + nul()},
        {QStringLiteral("A|*.a|B|*.b"), QStringLiteral("A") + nul() + QStringLiteral("*.a") + nul() +
                                            QStringLiteral("B") + nul() + QStringLiteral("*.b") + nul()},
        {QString(), nul()},
        {QString(32767, QLatin1Char('x')), QString(32767, QLatin1Char('x')) + nul()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter.left(40).toStdString());
        DialogRecord record;
        BuildDialogFilter(record, c.filter);
        EXPECT_EQ(record.filter, c.converted);
    }

    DialogRecord record;
    try {
        BuildDialogFilter(record, QString(32768, QLatin1Char('x')));
        ADD_FAILURE() << "a filter of 32768 characters was converted";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::Overflow);
        EXPECT_EQ(error.description(), QStringLiteral("Overflow"));
    }
}

TEST(CompactionFileDialog, OpenFileDialogAsksWithTheTitleAndFilterAndReturnsThePathOrNothing)
{
    QTemporaryDir tool;
    Page page(tool.path());
    page.fileDialog.queueAnswer(QStringLiteral("/data/Books; 'one'.MDB"));
    page.fileDialog.queueAnswer(QString()); // cancelled

    EXPECT_EQ(OpenFileDialog(page.module, QStringLiteral("Pick"), QStringLiteral("Access Databases|*.mdb|"),
                             QStringLiteral("*.mdb")),
              QStringLiteral("/data/Books; 'one'.MDB"));
    EXPECT_EQ(page.module.dialog.flags, HideReadOnly);
    EXPECT_EQ(page.module.dialog.title, QStringLiteral("Pick"));
    EXPECT_EQ(page.module.dialog.filter,
              QStringLiteral("Access Databases") + nul() + QStringLiteral("*.mdb") + nul() + nul());
    EXPECT_EQ(OpenFileDialog(page.module, QStringLiteral("Pick again"),
                             QStringLiteral("Access Databases|*.mdb"), QStringLiteral("*.mdb")),
              QString());

    ASSERT_EQ(page.fileDialog.calls().size(), 2);
    EXPECT_EQ(page.fileDialog.calls()[0].title, QStringLiteral("Pick"));
    EXPECT_EQ(page.fileDialog.calls()[0].filter, QStringLiteral("Access Databases|*.mdb|"));
    EXPECT_EQ(page.fileDialog.calls()[0].defaultExtension, QStringLiteral("*.mdb"));
    EXPECT_EQ(page.fileDialog.calls()[1].title, QStringLiteral("Pick again"));
    EXPECT_EQ(page.fileDialog.calls()[1].filter, QStringLiteral("Access Databases|*.mdb"));
}

// Through the desktop's own dialog: one entry, "Access Databases", that shows databases whatever the case
// of their extension; the chosen file comes back whole.
TEST(CompactionFileDialog, TheRealDialogOffersTheDatabasesAndGivesTheChosenOneBack)
{
    QTemporaryDir tool;
    QTemporaryDir data;
    const QString chosen = data.filePath(QStringLiteral("Books 2024.MDB"));
    writeAll(chosen, "x");
    QtFileOpenDialog dialog;
    ScriptedMessageBox messages;
    RecordingScreenPointer pointer;
    CountingEventPump events;
    Module module{messages, dialog, pointer, events, tool.path(), {}, false};

    bool seen = false;
    // Waits for the dialog to be the active modal window, however long the machine takes to show it.
    PlatformTest::onModal(
        [](QWidget* modal) { return qobject_cast<QFileDialog*>(modal) != nullptr; },
        [&](QWidget* modal) {
            auto* open = qobject_cast<QFileDialog*>(modal);
            seen = true;
            EXPECT_EQ(open->windowTitle(), QStringLiteral("Select Access DataBase to Optimize (Compact)"));
            EXPECT_EQ(open->nameFilters(), QStringList{QStringLiteral("Access Databases (*.mdb)")});
            EXPECT_FALSE(open->filter().testFlag(QDir::CaseSensitive));
            open->setDirectory(data.path());
            open->selectFile(chosen);
            static_cast<QDialog*>(open)->accept();
        });
    EXPECT_EQ(OpenFileDialog(module, QStringLiteral("Select Access DataBase to Optimize (Compact)"),
                             QStringLiteral("Access Databases|*.mdb"), QStringLiteral("*.mdb")),
              chosen);
    EXPECT_TRUE(seen);
}

class SizeTexts : public ::testing::Test
{
protected:
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(SizeTexts, EveryRangeWithTheUsersDecimalSeparator)
{
    struct Case
    {
        qint64 bytes;
        const char* point;
        const char* comma;
    };
    const Case cases[] = {
        {0, "0 bytes", "0 bytes"},
        {512, "512 bytes", "512 bytes"},
        {1023, "1023 bytes", "1023 bytes"},
        {1024, "1.00 Kb", "1,00 Kb"},
        {1536, "1.50 Kb", "1,50 Kb"},
        {1048575, "1024.00 Kb", "1024,00 Kb"},
        {1048576, "1.00 Mb", "1,00 Mb"},
        {1073741823, "1024.00 Mb", "1024,00 Mb"},
        {1073741824, "1.00 Gb", "1,00 Gb"},
        // From 2 GiB on a 32-bit size would have gone negative.
        {Q_INT64_C(2147483648), "2.00 Gb", "2,00 Gb"},
        {Q_INT64_C(5905580032), "5.50 Gb", "5,50 Gb"},
        {Q_INT64_C(1099511627776), "1024.00 Gb", "1024,00 Gb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(SizeText(c.bytes), QString::fromLatin1(c.point));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(SizeText(c.bytes), QString::fromLatin1(c.comma));
    }
}

TEST_F(SizeTexts, FileSizeTextReadsTheFilesLengthAndGivesZeroWhenItCannot)
{
    QLocale::setDefault(QLocale(QLocale::Thai, QLocale::Thailand));
    QTemporaryDir data;
    struct Case
    {
        qint64 bytes;
        const char* text;
    };
    const Case cases[] = {{0, "0 bytes"},
                          {1023, "1023 bytes"},
                          {1024, "1.00 Kb"},
                          {1048575, "1024.00 Kb"},
                          {1048576, "1.00 Mb"},
                          // A sparse file: the length without the disk space.
                          {Q_INT64_C(3) * 1024 * 1024 * 1024 + 512 * 1024 * 1024, "3.50 Gb"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const QString path = data.filePath(QStringLiteral("%1.mdb").arg(c.bytes));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(c.bytes));
        file.close();
        EXPECT_EQ(FileSizeText(path), QString::fromLatin1(c.text));
    }
    EXPECT_EQ(FileSizeText(data.filePath(QStringLiteral("missing.mdb"))), QStringLiteral("0 bytes"));
    EXPECT_EQ(FileSizeText(data.path()), QStringLiteral("0 bytes"));
    EXPECT_EQ(FileSizeText(QString()), QStringLiteral("0 bytes"));
}

TEST(CompactionTempDatabase, IsTemporalMdbInTheToolsFolder)
{
    QTemporaryDir tool;
    Page page(tool.path());
    EXPECT_EQ(TempDatabase(page.module), tool.path() + QStringLiteral("/Temporal.mdb"));
}

} // namespace

#include "shared/BrowseForFolder.h"
#include "platform/QtPickers.h"
#include "platform/doubles/ScriptedPickers.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(BrowseForFolder, PassesPromptAndStartFolderAndReturnsRootsWithTheirSeparatorOnly)
{
    struct Case
    {
        QString answer; // what the dialog gave back; empty: cancelled
        QString expected;
    };
    const Case cases[] = {
        {QString(), QString()},
        {QStringLiteral("/"), QStringLiteral("/")},
        {QStringLiteral("//"), QStringLiteral("/")},
        {QStringLiteral("/srv/books"), QStringLiteral("/srv/books")},
        {QStringLiteral("/srv/books/"), QStringLiteral("/srv/books")},
        {QStringLiteral("/srv/บัญชี ร้าน's; data//"), QStringLiteral("/srv/บัญชี ร้าน's; data")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        ScriptedFolderPicker picker;
        picker.queueAnswer(c.answer);
        EXPECT_EQ(BrowseForFolder(picker, QStringLiteral("/srv/start"),
                                  QStringLiteral("Select Application Folder :")),
                  c.expected);
        ASSERT_EQ(picker.calls().size(), 1);
        EXPECT_EQ(picker.calls()[0].startFolder, QStringLiteral("/srv/start"));
        EXPECT_EQ(picker.calls()[0].prompt, QStringLiteral("Select Application Folder :"));
    }
}

// Through the desktop's own dialog, as a person chooses: the dialog opens on the start folder (or its
// default with none), and what is typed and confirmed comes back as a full path.
TEST(BrowseForFolder, ReturnsWhatThePersonChoseInTheDialog)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString start = folder.filePath(QStringLiteral("start"));
    const QString thai = folder.filePath(QStringLiteral("ข้อมูล ร้าน's; สาขา"));
    ASSERT_TRUE(QDir().mkpath(start));
    ASSERT_TRUE(QDir().mkpath(thai));
    struct Case
    {
        QString startFolder;
        QString typed; // empty: Cancel
        QString expected;
    };
    const Case cases[] = {
        {start, thai, thai},
        {start, thai + QLatin1Char('/'), thai},
        {QString(), QStringLiteral("/"), QStringLiteral("/")},
        {start, QString(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QtFolderPicker picker;
        bool seen = false;
        PlatformTest::onModal<QFileDialog>([&](QFileDialog* dialog) {
            seen = true;
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Application Folder :"));
            if (!c.startFolder.isEmpty()) {
                EXPECT_EQ(dialog->directory().absolutePath(), c.startFolder);
            }
            if (c.typed.isEmpty()) {
                dialog->reject();
                return;
            }
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(c.typed);
            static_cast<QDialog*>(dialog)->accept();
        });
        EXPECT_EQ(BrowseForFolder(picker, c.startFolder, QStringLiteral("Select Application Folder :")),
                  c.expected);
        EXPECT_TRUE(seen);
    }
}

} // namespace

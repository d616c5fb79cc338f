#include "shared/BrowseForFolder.h"
#include "platform/doubles/ScriptedPickers.h"

#include <gtest/gtest.h>

namespace {

TEST(BrowseForFolder, ReturnsTheChoiceWithoutATrailingSeparatorExceptTheRoot)
{
    struct Case
    {
        QString answer; // what the picker gives back
        QString result;
    };
    const Case cases[] = {
        {"/srv/Acc/Backup", "/srv/Acc/Backup"},
        {"/srv/Acc/Backup/", "/srv/Acc/Backup"},
        {"/srv/บริษัท O'Neil//", "/srv/บริษัท O'Neil"},
        {"/", "/"},
        {"", ""}, // cancelled
    };
    for (const Case& c : cases) {
        ScriptedFolderPicker picker;
        picker.queueAnswer(c.answer);
        EXPECT_EQ(
            BrowseForFolder(picker, QStringLiteral("/srv/Acc"), QStringLiteral("Select Backup Folder :")),
            c.result)
            << c.answer.toStdString();
        ASSERT_EQ(picker.calls().size(), 1);
        EXPECT_EQ(picker.calls()[0].startFolder, QStringLiteral("/srv/Acc"));
        EXPECT_EQ(picker.calls()[0].prompt, QStringLiteral("Select Backup Folder :"));
    }
}

} // namespace

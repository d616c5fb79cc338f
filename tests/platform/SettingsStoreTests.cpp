#include "platform/QtSettingsStore.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(QtSettingsStore, AnAbsentKeyReadsAsTheEmptyText)
{
    QtSettingsStore store(QStringLiteral("companydesk"));
    EXPECT_EQ(store.get(QStringLiteral("NeverWritten")), QString());
}

TEST(QtSettingsStore, SavedValuesLandInTheUsersConfigFolderUnderData)
{
    QtSettingsStore store(QStringLiteral("companydesk"));
    struct Case
    {
        QString key;
        QString value;
    };
    const Case cases[] = {
        {QStringLiteral("ServerPath"), QStringLiteral("/srv/app folder")},
        {QStringLiteral("standalone"), QStringLiteral("1")},
        {QStringLiteral("companyid"), QString()},
        {QStringLiteral("CompanyName"), QStringLiteral("บริษัท ตัวอย่าง จำกัด")},
        {QStringLiteral("Odd"), QStringLiteral("@at, comma; \"quoted\" = \\ back")},
    };
    for (const Case& c : cases) {
        store.save(c.key, c.value);
        EXPECT_EQ(store.get(c.key), c.value) << c.key.toStdString();
    }
    const QString expectedFile =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/companydesk/companydesk.conf");
    EXPECT_EQ(store.fileName(), expectedFile);
    QFile file(expectedFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.contains("[data]")) << content.constData();
    EXPECT_TRUE(content.contains("standalone=1")) << content.constData();
}

TEST(QtSettingsStore, TwoStoresSeeEachOthersWrites)
{
    QtSettingsStore first(QStringLiteral("companydesk"));
    QtSettingsStore second(QStringLiteral("companydesk"));
    first.save(QStringLiteral("Shared"), QStringLiteral("one"));
    EXPECT_EQ(second.get(QStringLiteral("Shared")), QStringLiteral("one"));
    second.save(QStringLiteral("Shared"), QStringLiteral("two"));
    EXPECT_EQ(first.get(QStringLiteral("Shared")), QStringLiteral("two"));
}

TEST(QtSettingsStore, EachProductHasItsOwnSettings)
{
    QtSettingsStore launcher(QStringLiteral("companydesk"));
    QtSettingsStore tool(QStringLiteral("vaultkeep"));
    launcher.save(QStringLiteral("OnlyInLauncher"), QStringLiteral("x"));
    EXPECT_EQ(tool.get(QStringLiteral("OnlyInLauncher")), QString());
    EXPECT_TRUE(tool.fileName().endsWith(QStringLiteral("/vaultkeep/vaultkeep.conf")));
}

} // namespace

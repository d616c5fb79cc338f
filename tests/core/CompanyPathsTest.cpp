#include "base/AppError.h"
#include "launcher/core/CompanyFields.h"
#include "shared/AppFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(CompanyPaths, ADatabaseNameIsAPlainFileNameOrNoPathIsBuilt)
{
    struct Case
    {
        QString name;
        bool plain;
    } cases[] = {
        {QStringLiteral("3.mdb"), true},
        {QStringLiteral("บัญชี 2567.mdb"), true},
        {QStringLiteral("..mdb"), true},
        {QStringLiteral(" spaced .mdb"), true},
        {QString(), false},
        {QStringLiteral("."), false},
        {QStringLiteral(".."), false},
        {QStringLiteral("../2/2.mdb"), false},
        {QStringLiteral("sub/3.mdb"), false},
        {QStringLiteral("..\\2\\2.mdb"), false},
        {QStringLiteral("/etc/passwd"), false},
        {QStringLiteral("tab\there.mdb"), false},
        {QStringLiteral("line\nbreak.mdb"), false},
        {QStringLiteral("nul") + QChar(0) + QStringLiteral(".mdb"), false},
        {QStringLiteral("del") + QChar(0x7F) + QStringLiteral(".mdb"), false},
        {QStringLiteral("c1") + QChar(0x85) + QStringLiteral(".mdb"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(AppFolder::isPlainFileName(c.name), c.plain);
        if (c.plain) {
            EXPECT_EQ(AppFolder::companyDatabasePath(QStringLiteral("/data"), 3, c.name),
                      QStringLiteral("/data/CompanyData/3/") + c.name);
            continue;
        }
        try {
            AppFolder::companyDatabasePath(QStringLiteral("/data"), 3, c.name);
            ADD_FAILURE() << "a path was built";
        } catch (const AppError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::BadFileNameOrNumber);
            EXPECT_TRUE(error.description().contains(QStringLiteral("/data/CompanyData/3")))
                << error.description().toStdString();
            EXPECT_FALSE(error.description().contains(QChar(0)));
            EXPECT_FALSE(error.description().contains(QLatin1Char('\n')));
        }
    }
}

TEST(CompanyPaths, ACompanyIdentifierIsAWholeNonZeroSixteenBitNumber)
{
    struct Case
    {
        QString text;
        std::optional<std::int16_t> id;
    } cases[] = {
        {QStringLiteral("1"), 1},
        {QStringLiteral("32767"), 32767},
        {QStringLiteral("-5"), -5},
        {QStringLiteral("-32768"), -32768},
        {QStringLiteral("0"), std::nullopt},
        {QString(), std::nullopt},
        {QStringLiteral("32768"), std::nullopt},
        {QStringLiteral("70000"), std::nullopt},
        {QStringLiteral("-32769"), std::nullopt},
        {QStringLiteral("abc"), std::nullopt},
        {QStringLiteral("1.5"), std::nullopt},
        {QStringLiteral(" 2"), std::nullopt},
        {QStringLiteral("2e1"), std::nullopt},
        {QStringLiteral("99999999999"), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompanyFields::companyId(c.text), c.id) << c.text.toStdString();
}

TEST(CompanyPaths, ANullShowsAsEmptyText)
{
    EXPECT_EQ(CompanyFields::text(QVariant()), QString());
    EXPECT_EQ(CompanyFields::text(QVariant(QMetaType::fromType<QString>())), QString());
    EXPECT_EQ(CompanyFields::text(QVariant(qlonglong(7))), QStringLiteral("7"));
    EXPECT_EQ(CompanyFields::text(QVariant(QStringLiteral("x"))), QStringLiteral("x"));
}

} // namespace

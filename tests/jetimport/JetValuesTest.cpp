#include "maintenance/jetimport/JetValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(JetValues, DatesAcrossTheWholeJetRange)
{
    struct Case
    {
        double days;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "1899-12-30 00:00:00"},
        {1.0, "1899-12-31 00:00:00"},
        {36526.5, "2000-01-01 12:00:00"},
        {-1.25, "1899-12-29 06:00:00"},   // before the epoch the time still runs forward
        {-0.5, "1899-12-30 12:00:00"},    // a time alone, written negative
        {0.34375, "1899-12-30 08:15:00"}, // a time alone
        {-657434.0, "0100-01-01 00:00:00"},
        {-328716.0, "1000-01-01 00:00:00"},
        {-36522.0, "1800-01-01 00:00:00"},
        {2958465.0, "9999-12-31 00:00:00"},
        {2958465.0 + 86399.0 / 86400.0, "9999-12-31 23:59:59"},
        {1.0 + 86399.6 / 86400.0, "1900-01-01 00:00:00"},   // rounds up into the next day
        {-2.0 + -86399.6 / 86400.0, "1899-12-29 00:00:00"}, // 1899-12-28 23:59:59.6
        {44267.0 + 1.0 / 86400.0, "2021-03-12 00:00:01"},
    };
    for (const Case& c : cases) {
        const auto text = JetValues::dateText(c.days);
        ASSERT_TRUE(text.has_value()) << c.days;
        EXPECT_EQ(text->toStdString(), c.text) << c.days;
    }
}

TEST(JetValues, DatesOutsideTheJetRangeAreRefused)
{
    for (const double days : {-657435.0, 2958466.0, 1e300, -1e300, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(JetValues::dateText(days).has_value()) << days;
}

TEST(JetValues, CurrencyIsExactToFourDecimals)
{
    struct Case
    {
        std::int64_t stored;
        const char* text;
    };
    const Case cases[] = {
        {0, "0.0000"},
        {127500, "12.7500"},
        {-1, "-0.0001"},
        {1, "0.0001"},
        {1000, "0.1000"},
        {std::numeric_limits<std::int64_t>::max(), "922337203685477.5807"},
        {std::numeric_limits<std::int64_t>::min(), "-922337203685477.5808"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JetValues::currencyText(c.stored).toStdString(), c.text) << c.stored;
}

TEST(JetValues, DecimalTextsTakeTheirScale)
{
    struct Case
    {
        const char* read;
        int scale;
        const char* text; // empty: refused
    };
    const Case cases[] = {
        {"12.5", 4, "12.5000"}, {"-0.125", 3, "-0.125"},
        {"7", 0, "7"},          {"007.10", 2, "7.10"},
        {".5", 1, "0.5"},       {"-0.000", 2, "0.00"},
        {"1.2300", 2, "1.23"},  {"1.234", 2, ""},
        {"abc", 2, ""},         {"", 2, ""},
        {"1e5", 2, ""},
    };
    for (const Case& c : cases) {
        const auto text = JetValues::decimalText(QString::fromLatin1(c.read), c.scale);
        if (*c.text == '\0')
            EXPECT_FALSE(text.has_value()) << c.read;
        else
            EXPECT_EQ(text.value_or(QStringLiteral("(refused)")).toStdString(), c.text) << c.read;
    }
}

TEST(JetValues, StoredNumbersShowTheirDecimals)
{
    EXPECT_EQ(JetValues::fixedText(12.75, 4).toStdString(), "12.7500");
    EXPECT_EQ(JetValues::fixedText(0.1, 4).toStdString(), "0.1000");
    EXPECT_EQ(JetValues::fixedText(-0.0, 2).toStdString(), "0.00");
    EXPECT_EQ(JetValues::fixedText(99999999999.9999, 4).toStdString(), "99999999999.9999");
    // Beyond fifteen digits a number cannot hold every ten-thousandth: the check then sees a difference.
    EXPECT_NE(JetValues::fixedText(922337203685477.5807, 4).toStdString(), "922337203685477.5807");
}

} // namespace

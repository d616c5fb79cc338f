#include "engine/Convert.h"

#include "base/AppError.h"

#include <QVariant>
#include <gtest/gtest.h>

namespace {

struct Int16Case
{
    const char* label;
    QVariant input;
    long expectedError; // 0: converts
    int expected;
};

TEST(EngineConvert, ToInt16FollowsTheClassicRules)
{
    const Int16Case cases[] = {
        {"plain text", QStringLiteral("42"), 0, 42},
        {"blanks around", QStringLiteral("  -17 "), 0, -17},
        {"exponent", QStringLiteral("1.5e1"), 0, 15},
        {"half to even, down", QStringLiteral("2.5"), 0, 2},
        {"half to even, up", QStringLiteral("3.5"), 0, 4},
        {"negative half", QStringLiteral("-2.5"), 0, -2},
        {"double half", QVariant(0.5), 0, 0},
        {"double one and a half", QVariant(1.5), 0, 2},
        {"upper bound", QStringLiteral("32767"), 0, 32767},
        {"lower bound", QVariant(qlonglong(-32768)), 0, -32768},
        {"rounds into range", QStringLiteral("-32768.4"), 0, -32768},
        {"rounds out of range", QStringLiteral("32767.5"), ErrorNumber::Overflow, 0},
        {"above", QStringLiteral("32768"), ErrorNumber::Overflow, 0},
        {"below", QVariant(-32769), ErrorNumber::Overflow, 0},
        {"huge exponent", QStringLiteral("1e999"), ErrorNumber::Overflow, 0},
        {"empty text", QStringLiteral(""), ErrorNumber::TypeMismatch, 0},
        {"blank text", QStringLiteral("   "), ErrorNumber::TypeMismatch, 0},
        {"words", QStringLiteral("abc"), ErrorNumber::TypeMismatch, 0},
        {"trailing junk", QStringLiteral("12abc"), ErrorNumber::TypeMismatch, 0},
        {"null", QVariant(), 94, 0},
    };
    for (const Int16Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.expectedError == 0) {
            EXPECT_EQ(Convert::toInt16(c.input), c.expected);
            continue;
        }
        try {
            Convert::toInt16(c.input);
            ADD_FAILURE() << "converted without error";
        } catch (const AppError& error) {
            EXPECT_EQ(error.number(), c.expectedError);
            const char* description = c.expectedError == ErrorNumber::Overflow       ? "Overflow"
                                      : c.expectedError == ErrorNumber::TypeMismatch ? "Type mismatch"
                                                                                     : "Invalid use of Null";
            EXPECT_EQ(error.description().toStdString(), description);
        }
    }
}

TEST(EngineConvert, TextOverloadAgreesWithVariant)
{
    EXPECT_EQ(Convert::toInt16(QStringLiteral("  7 ")), 7);
    EXPECT_THROW(Convert::toInt16(QStringLiteral("x")), AppError);
}

TEST(EngineConvert, ToInt32UsesItsOwnRange)
{
    EXPECT_EQ(Convert::toInt32(QStringLiteral("32768")), 32768);
    EXPECT_EQ(Convert::toInt32(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(Convert::toInt32(QVariant(qlonglong(-2147483648LL))), -2147483647 - 1);
    EXPECT_EQ(Convert::toInt32(QVariant(6.5)), 6);
    try {
        Convert::toInt32(QVariant(qlonglong(2147483648LL)));
        ADD_FAILURE() << "no overflow";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::Overflow);
    }
}

TEST(EngineConvert, ToTextGivesPlainDecimalAndRefusesNull)
{
    EXPECT_EQ(Convert::toText(QVariant(qlonglong(7))), QStringLiteral("7"));
    EXPECT_EQ(Convert::toText(QVariant(-32768)), QStringLiteral("-32768"));
    EXPECT_EQ(Convert::toText(QVariant(0.1)), QStringLiteral("0.1"));
    EXPECT_EQ(Convert::toText(QVariant(2.0)), QStringLiteral("2"));
    EXPECT_EQ(Convert::toText(QVariant(QStringLiteral("บริษัท"))), QStringLiteral("บริษัท"));
    try {
        Convert::toText(QVariant());
        ADD_FAILURE() << "a null became text";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), 94);
        EXPECT_EQ(error.description(), QStringLiteral("Invalid use of Null"));
    }
}

} // namespace

#include "platform/ProgramStarter.h"
#include "tests/platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitWindowsCommandLine, FollowsTheWindowsRuntimeRules)
{
    struct Case
    {
        QString text;
        QStringList arguments;
    };
    const Case cases[] = {
        {QString(), {}},
        {QStringLiteral("   \t  "), {}},
        {QStringLiteral("user pass"), {QStringLiteral("user"), QStringLiteral("pass")}},
        {QStringLiteral("user"), {QStringLiteral("user")}},
        {QStringLiteral("a  b"), {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral(" \tuser\t\t pass  "), {QStringLiteral("user"), QStringLiteral("pass")}},
        {QStringLiteral("\"john smith\" \"p w\""), {QStringLiteral("john smith"), QStringLiteral("p w")}},
        {QStringLiteral("\"abc\" d e"), {QStringLiteral("abc"), QStringLiteral("d"), QStringLiteral("e")}},
        {QStringLiteral("a\"b c\"d"), {QStringLiteral("ab cd")}},
        {QStringLiteral("\"\""), {QString()}},
        {QStringLiteral("a \"\" b"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
        {QStringLiteral("\"unterminated group"), {QStringLiteral("unterminated group")}},
        // Backslashes are literal unless they stand before a quote.
        {QStringLiteral("C:\\Program Files\\x"), {QStringLiteral("C:\\Program"), QStringLiteral("Files\\x")}},
        {QStringLiteral("a\\\\\\b d\"e f\"g h"),
         {QStringLiteral("a\\\\\\b"), QStringLiteral("de fg"), QStringLiteral("h")}},
        // 2n+1 backslashes and a quote: n backslashes and a literal quote.
        {QStringLiteral("a\\\\\\\"b c d"),
         {QStringLiteral("a\\\"b"), QStringLiteral("c"), QStringLiteral("d")}},
        {QStringLiteral("\\\"x\\\""), {QStringLiteral("\"x\"")}},
        // 2n backslashes and a quote: n backslashes, and the quote opens or closes a group.
        {QStringLiteral("a\\\\\\\\\"b c\" d e"),
         {QStringLiteral("a\\\\b c"), QStringLiteral("d"), QStringLiteral("e")}},
        {QStringLiteral("\"dir\\\\\" x"), {QStringLiteral("dir\\"), QStringLiteral("x")}},
        {QStringLiteral("trailing\\\\"), {QStringLiteral("trailing\\\\")}},
        // "" inside a group is one literal quote, and the group goes on.
        {QStringLiteral("a\"b\"\" c d"), {QStringLiteral("ab\" c d")}},
        {QStringLiteral("\"say \"\"hi\"\"\" x"), {QStringLiteral("say \"hi\""), QStringLiteral("x")}},
        {QStringLiteral("ผู้ใช้ รหัสผ่าน"), {QStringLiteral("ผู้ใช้"), QStringLiteral("รหัสผ่าน")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitWindowsCommandLine(c.text), c.arguments) << c.text.toStdString();
}

} // namespace

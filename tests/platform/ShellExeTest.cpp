#include "platform/ShellExe.h"

#include "base/AppError.h"
#include "platform/doubles/RecordingProgramStarter.h"

#include <gtest/gtest.h>

namespace {

TEST(ShellErrorText, KnownCodesHaveTheirTextAndTheRestTheirNumber)
{
    struct Case
    {
        long code;
        QString text;
    } cases[] = {
        {0, QStringLiteral("Insufficient memory or executable file was corrupt.")},
        {2, QStringLiteral("File not found.")},
        {3, QStringLiteral("Invalid path.")},
        {5, QStringLiteral("Sharing or network-protection error. Access denied.")},
        {11,
         QStringLiteral("Executable file was invalid. Either it was not a Windows application or there was "
                        "an error in the .EXE image.")},
        {31, QStringLiteral("There is no application associated with that file type.")},
        {32, QStringLiteral("The specified dynamic-link library was not found.")},
        {1, QStringLiteral("Error Number: 1")},
        {7, QStringLiteral("Error Number: 7")},
        {17, QStringLiteral("Error Number: 17")},
        {25, QStringLiteral("Error Number: 25")},
        {-4, QStringLiteral("Error Number: -4")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShellExe::ShellErrorText(c.code), c.text) << c.code;
}

TEST(ExecuteFile, ReturnsSuccessAboveThirtyTwoAndRaisesError17Otherwise)
{
    RecordingProgramStarter starter;
    starter.queueResult(33);
    EXPECT_EQ(ShellExe::ExecuteFile(starter, QStringLiteral("Larkspur.exe"), 1, QStringLiteral("a b"),
                                    QStringLiteral("/app/")),
              33);
    ASSERT_EQ(starter.calls().size(), 1);
    EXPECT_EQ(starter.calls()[0].file, QStringLiteral("Larkspur.exe"));
    EXPECT_EQ(starter.calls()[0].parameters, QStringLiteral("a b"));
    EXPECT_EQ(starter.calls()[0].directory, QStringLiteral("/app/"));
    EXPECT_EQ(starter.calls()[0].showCommand, 1);

    for (int code : {32, 2}) {
        starter.queueResult(code);
        try {
            ShellExe::ExecuteFile(starter, QStringLiteral("Larkspur.exe"), 1, QString(),
                                  QStringLiteral("/app/"));
            ADD_FAILURE() << "code " << code << " must raise";
        } catch (const AppError& error) {
            EXPECT_EQ(error.number(), 17);
            EXPECT_EQ(error.description(), ShellExe::ShellErrorText(code));
        }
    }
}

} // namespace

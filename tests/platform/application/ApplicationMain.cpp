#include "platform/Application.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The tests of Application need it to be the program's one QApplication, so they have a program of their
// own; like the other test programs it runs headless with its settings in a temporary home.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/companydesk-test-XXXXXX"));
    if (!home.isValid())
        return 2;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

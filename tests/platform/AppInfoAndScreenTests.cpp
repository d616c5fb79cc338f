#include "platform/AppInfo.h"
#include "platform/QtScreen.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

TEST(AppInfo, DescribesTheRunningProgramAndTheCompiledInVersion)
{
    const AppInfo info = AppInfo::current(QStringLiteral("companydesk"));
    const QFileInfo program(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    EXPECT_EQ(info.folder, program.path());
    EXPECT_FALSE(info.folder.endsWith(QLatin1Char('/')));
    EXPECT_EQ(info.fileName, QStringLiteral("platform_tests"));
    EXPECT_EQ(info.productName, QStringLiteral("companydesk"));
    EXPECT_EQ(info.major, 2);
    EXPECT_EQ(info.minor, 0);
    EXPECT_EQ(info.revision, 17);
}

Qt::CursorShape currentShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor == nullptr ? Qt::ArrowCursor : cursor->shape();
}

TEST(QtScreenPointer, BusyIsAStateNotACount)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    struct Step
    {
        bool busy;
        bool overridden;
    };
    // Busy twice then normal once is the normal pointer again; normal when already normal changes nothing.
    const Step steps[] = {{true, true},   {true, true}, {false, false},
                          {false, false}, {true, true}, {false, false}};
    QtScreenPointer pointer;
    for (const Step& step : steps) {
        pointer.setBusy(step.busy);
        EXPECT_EQ(QGuiApplication::overrideCursor() != nullptr, step.overridden);
        EXPECT_EQ(currentShape(), step.overridden ? Qt::WaitCursor : Qt::ArrowCursor);
    }
}

TEST(QtScreenPointer, LeavesAnotherOverrideCursorAloneAndRestoresWhenDestroyed)
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
    {
        QtScreenPointer pointer;
        pointer.setBusy(false);
        EXPECT_EQ(currentShape(), Qt::CrossCursor);
        pointer.setBusy(true);
        EXPECT_EQ(currentShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(currentShape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtEventPump, ProcessesWhatIsPending)
{
    QObject receiver;
    int delivered = 0;
    QMetaObject::invokeMethod(
        &receiver, [&delivered] { ++delivered; }, Qt::QueuedConnection);
    EXPECT_EQ(delivered, 0);
    QtEventPump().processPending();
    EXPECT_EQ(delivered, 1);
}

} // namespace

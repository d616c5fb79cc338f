#include "base/AppError.h"
#include "platform/FatalError.h"
#include "platform/MessageBox.h"
#include "platform/QtFatalError.h"
#include "platform/QtMessageBox.h"
#include "platform/doubles/RecordingFatalError.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QProcess>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

const QString ChildVariable = QStringLiteral("COMPANYDESK_FATAL_CHILD");

TEST(RunTimeErrorText, ShowsTheNumberABlankLineAndTheDescription)
{
    struct Case
    {
        long number;
        QString description;
        QString expected;
    };
    const Case cases[] = {
        {13, QStringLiteral("Type mismatch"), QStringLiteral("Run-time error '13':\r\n\r\nType mismatch")},
        {17, QStringLiteral("File not found."),
         QStringLiteral("Run-time error '17':\r\n\r\nFile not found.")},
        {0, QString(), QStringLiteral("Run-time error '0':\r\n\r\n")},
        {-2147217843, QStringLiteral("Wrong password."),
         QStringLiteral("Run-time error '-2147217843 (80040e4d)':\r\n\r\nWrong password.")},
        {-2147467259, QStringLiteral("Not a database."),
         QStringLiteral("Run-time error '-2147467259 (80004005)':\r\n\r\nNot a database.")},
        {-1, QStringLiteral("x"), QStringLiteral("Run-time error '-1 (ffffffff)':\r\n\r\nx")},
        // A description that looks like a placeholder is kept as written.
        {5, QStringLiteral("100% %1 done"), QStringLiteral("Run-time error '5':\r\n\r\n100% %1 done")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runTimeErrorText(c.number, c.description), c.expected) << c.number;
}

TEST(IFatalError, ReportOfAnAppErrorPassesItsNumberAndDescription)
{
    RecordingFatalError fatal;
    IFatalError& reporter = fatal;
    reporter.report(AppError(ErrorNumber::WrongPassword, QStringLiteral("The password is wrong.")));
    ASSERT_EQ(fatal.reports().size(), 1);
    EXPECT_EQ(fatal.reports()[0].number, ErrorNumber::WrongPassword);
    EXPECT_EQ(fatal.reports()[0].description, QStringLiteral("The password is wrong."));
}

// The child half of the next test: it runs only when started by it, and is skipped otherwise.
TEST(FatalErrorChild, ReportFromInsideAModalWindow)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable.toLocal8Bit().constData()))
        GTEST_SKIP() << "runs only as the child of the QtFatalError test after it";
    QtMessageBox box(QStringLiteral("companydesk"));
    QtFatalError fatal(box, QStringLiteral("companydesk"));
    QDialog outer;
    outer.setObjectName(QStringLiteral("frmOuter"));
    PlatformTest::onModal(
        [](QWidget* w) { return w->objectName() == QStringLiteral("frmOuter"); },
        [&fatal](QWidget*) {
            PlatformTest::onModal<QMessageBox>([](QMessageBox* shown) {
                QString text = shown->text();
                text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
                std::printf("BOX|%s|%d|%s\n", qPrintable(shown->windowTitle()), int(shown->icon()),
                            qPrintable(text));
                std::fflush(stdout);
                shown->button(QMessageBox::Ok)->click();
            });
            fatal.report(AppError(ErrorNumber::WrongPassword, QStringLiteral("The password is wrong.")));
            std::printf("AFTER-REPORT\n");
        });
    outer.exec();
    std::printf("AFTER-WINDOW\n");
}

TEST(QtFatalError, ShowsTheReportThenEndsTheWholeProgramWithStatusOne)
{
    QProcess child;
    PlatformTest::startSelf(child, QStringLiteral("FatalErrorChild.*"), ChildVariable, QStringLiteral("1"));
    ASSERT_TRUE(child.waitForFinished(120000)) << child.errorString().toStdString();
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(child.readAllStandardError());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(
        out.contains(QStringLiteral("BOX|companydesk|%1|Run-time error '-2147217843 (80040e4d)':\\n\\nThe "
                                    "password is wrong.\n")
                         .arg(int(QMessageBox::Critical))))
        << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("AFTER-"))) << out.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Run-time error '-2147217843 (80040e4d)':")))
        << err.toStdString();
}

} // namespace

#include "tests/backup/BackupFixture.h"
#include "tests/support/Fixtures.h"
#include "tests/support/QtPrinters.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// cmake --install puts the nightly backup's service and timer under share/, and the service's command,
// run as systemd would run it, makes a verified backup of the installed folder.
TEST_F(BackupFixture, TheInstalledServiceBacksUpTheInstalledFolderNightly)
{
    QString bin = qEnvironmentVariable("COMPANYDESK_BIN_DIR");
    if (bin.isEmpty())
        bin = QCoreApplication::applicationDirPath();
    const QString build = QFileInfo(bin).path();
    const QString installed = path(QStringLiteral("office books 100%"));
    const ProgramRun install = runProgram(
        QStringLiteral("cmake"), {QStringLiteral("--install"), build, QStringLiteral("--prefix"), installed,
                                  QStringLiteral("--component"), QStringLiteral("vaultkeep")});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();
    const QString units = installed + QStringLiteral("/share/systemd/user/");
    const QString timer =
        QString::fromUtf8(Fixtures::readAll(units + QStringLiteral("vaultkeep-backup.timer")));
    EXPECT_TRUE(timer.contains(QStringLiteral("\nOnCalendar=*-*-* 02:30:00\n"))) << timer.toStdString();
    EXPECT_TRUE(timer.contains(QStringLiteral("\nPersistent=true\n")));
    EXPECT_TRUE(timer.contains(QStringLiteral("\nWantedBy=timers.target\n")));
    const QString service =
        QString::fromUtf8(Fixtures::readAll(units + QStringLiteral("vaultkeep-backup.service")));
    const QRegularExpressionMatch command =
        QRegularExpression(QStringLiteral("\nExecStart=\"([^\"]+)\" backup --keep 14 \"([^\"]+)\"\n"))
            .match(service);
    ASSERT_TRUE(command.hasMatch()) << service.toStdString();
    // systemd reads "%%" as one "%".
    const QString program = command.captured(1).replace(QStringLiteral("%%"), QStringLiteral("%"));
    const QString folder = command.captured(2).replace(QStringLiteral("%%"), QStringLiteral("%"));
    EXPECT_EQ(program, installed + QStringLiteral("/vaultkeep"));
    EXPECT_EQ(folder, installed);
    EXPECT_TRUE(service.contains(QStringLiteral("\nType=oneshot\n")));

    AppFolderMaker::make(installed, {false, 2});
    const ProgramRun nightly = runProgram(
        program, {QStringLiteral("backup"), QStringLiteral("--keep"), QStringLiteral("14"), folder}, {},
        {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")}, {QStringLiteral("DISPLAY"), QString()}});
    ASSERT_EQ(nightly.exitCode, 0) << nightly.err.toStdString();
    const QStringList made =
        QDir(installed + QStringLiteral("/Backup")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ASSERT_EQ(made.size(), 2) << made.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(made[1].endsWith(QStringLiteral(".sha256")));
    EXPECT_EQ(
        vaultkeep({QStringLiteral("verify"), installed + QStringLiteral("/Backup/") + made[0]}).exitCode, 0);
}

} // namespace

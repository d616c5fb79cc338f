#include "base/UniqueFd.h"
#include "maintenance/TabControl.h"
#include "maintenance/frmMain.h"
#include "platform/Twips.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/Typing.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

QRect twips(int left, int top, int width, int height)
{
    return {Twips::toPixels(left), Twips::toPixels(top), Twips::toPixels(width), Twips::toPixels(height)};
}

class MaintenanceWindow : public MaintenanceFixture
{
protected:
    std::unique_ptr<frmMain> openWindow()
    {
        auto window = std::make_unique<frmMain>(services);
        window->show();
        return window;
    }
    QString stamp() const { return now.toString(QStringLiteral("yyyyMMddHHmmss")); }
};

TEST_F(MaintenanceWindow, EveryControlHasItsCaptionPlaceAndContainer)
{
    auto window = openWindow();
    QWidget* page1 = window->SSTab1->page(0);
    QWidget* page2 = window->SSTab1->page(1);
    QWidget* page3 = window->SSTab1->page(2);
    struct Control
    {
        const char* name;
        QWidget* container;
        QString caption; // of a label, button, check box or frame; not checked for text boxes
        QRect place;
    };
    const Control controls[] = {
        {"Label1", window.get(), "เลือกฟังก์ชั่นการทำงาน  :", twips(120, 120, 4695, 375)},
        {"SSTab1", window.get(), {}, twips(120, 360, 6855, 3255)},
        {"Label2", page1, "สำรองจาก :", twips(120, 420, 975, 255)},
        {"txtBackupSource", page1, {}, twips(1200, 420, 5055, 285)},
        {"cmdSource", page1, "...", twips(6360, 420, 375, 255)},
        {"Label3", page1, "เก็บไว้ที่ :", twips(120, 780, 975, 255)},
        {"txtBackupTo", page1, {}, twips(1200, 780, 5055, 285)},
        {"cmdDistination", page1, "...", twips(6360, 780, 375, 255)},
        {"Frame1", page1, "เลือก", twips(120, 1260, 2895, 1215)},
        {"ChkCompress", window->Frame1, "บีบอัดไฟล์ที่สำรองข้อมูล", twips(240, 360, 2175, 195)},
        {"ChkOverwirte", window->Frame1, "บันทึกทับไฟล์ของเก่าที่มีอยู่เสมอ", twips(240, 720, 2535, 255)},
        {"CmdBackup", page1, "สำรองข้อมูล", twips(5520, 1260, 1215, 495)},
        {"Line3", page1, {}, QRect(8, 191, 416, 2)},
        {"Label8", page1, "หมายเหตุ : ใช้เพื่อสำรองฐานข้อมูล เผื่อไว้ในกรณีที่ฐานข้อมูลเดิมเสียหาย",
         twips(120, 2940, 5775, 255)},
        {"Label7", page2, "ไฟล์ที่สำรองไว้ :", twips(120, 420, 1215, 255)},
        {"txtBackupfile", page2, {}, twips(1320, 420, 4935, 285)},
        {"CmdSelectBackupFile", page2, "...", twips(6360, 420, 375, 255)},
        {"Label6", page2, "กู้คืนที่ :", twips(120, 780, 1335, 255)},
        {"txtRestoreTo", page2, {}, twips(1320, 780, 4935, 285)},
        {"CmdRestoreTo", page2, "...", twips(6360, 780, 375, 255)},
        {"Frame2", page2, "เลือก", twips(120, 1320, 2895, 1215)},
        {"ChkResOverwrite", window->Frame2, "บันทึกทับไฟล์ของเก่าที่มีอยู่เสมอ", twips(240, 360, 2535, 255)},
        {"CmdRestore", page2, "กู้คืนข้อมูล", twips(5520, 1260, 1215, 495)},
        {"Line2", page2, {}, QRect(8, 191, 416, 2)},
        {"Label5", page2, "หมายเหตุ : ใช้เพื่อกู้คืนฐานข้อมูล โดยนำข้อมูลจากที่สำรองไว้", twips(120, 2940, 5775, 255)},
        {"Label9", page3, "ไฟล์ ฐานข้อมูล :", twips(120, 420, 1215, 255)},
        {"txtCompactFileName", page3, {}, twips(1320, 420, 4575, 285)},
        {"cmdSelectFile", page3, "...", twips(6000, 420, 375, 255)},
        {"Label13", page3, "รหัสผ่าน ฐานข้อมูล :  ( เฉพาะกรณีมีรหัส )", twips(120, 840, 1455, 495)},
        {"TxtPassword", page3, {}, twips(1560, 840, 1935, 285)},
        {"cmdCompactDatabase", page3, "ลดขนาดฐานข้อมูล", twips(4800, 1200, 1575, 735)},
        {"Label11", page3, "ขนาดไฟล์ เริ่มต้น :", twips(120, 2160, 1335, 255)},
        {"lblOriginalSize", page3, "", twips(1680, 2160, 1455, 255)},
        {"Label12", page3, "ขนาดไฟล์หลังลดขนาด :", twips(120, 2520, 1695, 255)},
        {"lblFinalSize", page3, "", twips(1920, 2520, 1815, 255)},
        {"Line1", page3, {}, QRect(8, 191, 416, 2)},
        {"Label10", page3, "หมายเหตุ : ใช้เพื่อลดขนาดฐานข้อมูล ", twips(120, 2940, 5775, 255)},
        {"Label4", window.get(), {}, twips(120, 3780, 4215, 255)},
        {"Command1", window.get(), "ออกจากโปรแกรม", twips(5400, 3720, 1575, 375)},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        auto* widget = window->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), c.container);
        EXPECT_EQ(widget->geometry(), c.place);
        if (auto* label = qobject_cast<QLabel*>(widget); label && c.caption != QString()) {
            EXPECT_EQ(label->text(), c.caption);
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), c.caption);
        }
        if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            EXPECT_EQ(group->title(), c.caption);
        }
    }
    EXPECT_FALSE(window->Label4->text().isEmpty());
    EXPECT_EQ(window->lblOriginalSize->text(), QString());
}

TEST_F(MaintenanceWindow, IsAFixedGreyDialogWithThreePagesOpenOnTheFirst)
{
    auto window = openWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Larkspur Database Maintanance 2.0 : Multi"));
    EXPECT_EQ(window->size(), QSize(Twips::toPixels(7125), Twips::toPixels(4260)));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

    ASSERT_EQ(window->SSTab1->count(), 3);
    EXPECT_EQ(window->SSTab1->tabText(0), QStringLiteral("สำรองฐานข้อมูล"));
    EXPECT_EQ(window->SSTab1->tabText(1), QStringLiteral("กู้คืนฐานข้อมูล"));
    EXPECT_EQ(window->SSTab1->tabText(2), QStringLiteral("ลดขนาดฐานข้อมูล"));
    EXPECT_EQ(window->SSTab1->currentIndex(), 0);
    EXPECT_TRUE(window->txtBackupSource->isVisible());
    EXPECT_FALSE(window->txtBackupfile->isVisible());
    QTest::mouseClick(window->SSTab1->tabBar(), Qt::LeftButton, {},
                      window->SSTab1->tabBar()->tabRect(1).center());
    EXPECT_EQ(window->SSTab1->currentIndex(), 1);
    EXPECT_TRUE(window->txtBackupfile->isVisible());
    EXPECT_FALSE(window->txtBackupSource->isVisible());

    const QColor grey(224, 224, 224);
    for (QWidget* widget : {static_cast<QWidget*>(window.get()), window->SSTab1->page(0),
                            window->SSTab1->page(1), window->SSTab1->page(2),
                            static_cast<QWidget*>(window->Label1), static_cast<QWidget*>(window->Label4)})
        EXPECT_EQ(widget->palette().color(QPalette::Window), grey) << widget->objectName().toStdString();
    EXPECT_TRUE(window->Label1->font().bold());
    EXPECT_TRUE(window->Label4->font().bold());
    for (QLabel* noteLabel : {window->Label8, window->Label5, window->Label10})
        EXPECT_EQ(noteLabel->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(window->Label4->palette().color(QPalette::WindowText), QColor(0, 0, 139));
    for (QCheckBox* box : {window->ChkCompress, window->ChkOverwirte, window->ChkResOverwrite})
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_EQ(window->TxtPassword->echoMode(), QLineEdit::Password);
}

TEST_F(MaintenanceWindow, IsCentredOnTheScreenAndEveryCaptionFitsItsBox)
{
    auto window = openWindow();
    const QRect available = window->screen()->availableGeometry();
    EXPECT_LE((window->frameGeometry().center() - available.center()).manhattanLength(), 2);

    for (int page = 0; page < 3; ++page) {
        window->SSTab1->setCurrentIndex(page);
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().isEmpty())
                continue;
            if (label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height())
                    << label->objectName().toStdString();
            } else {
                EXPECT_LE(label->sizeHint().width(), label->width()) << label->objectName().toStdString();
            }
        }
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && qobject_cast<QTabBar*>(button->parentWidget()) == nullptr) {
                EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width())
                    << button->objectName().toStdString();
            }
        }
        for (QCheckBox* box : window->findChildren<QCheckBox*>()) {
            if (box->isVisible()) {
                EXPECT_LE(box->sizeHint().width(), box->width()) << box->objectName().toStdString();
            }
        }
    }
    EXPECT_LE(window->SSTab1->tabBar()->sizeHint().width(), window->SSTab1->width());
    EXPECT_LE(window->SSTab1->tabBar()->height(), window->txtBackupSource->y());
}

TEST_F(MaintenanceWindow, StartsWithTheToolsFolderAndATimeStampedBackupFolder)
{
    auto window = openWindow();
    EXPECT_EQ(window->txtBackupSource->text(), appFolder);
    EXPECT_EQ(window->txtRestoreTo->text(), appFolder + QStringLiteral("/"));
    EXPECT_EQ(window->BackupFolderName, QStringLiteral("DB-20240131235958"));
    EXPECT_EQ(window->txtBackupTo->text(), appFolder + QStringLiteral("/Backup/DB-20240131235958/"));
    EXPECT_EQ(window->txtBackupfile->text(), QString());
    EXPECT_EQ(window->txtCompactFileName->text(), QString());
    EXPECT_TRUE(window->CmdBackup->isEnabled());
    EXPECT_FALSE(window->CmdRestore->isEnabled());
    EXPECT_FALSE(window->cmdCompactDatabase->isEnabled());
    EXPECT_TRUE(messages.calls().isEmpty());
    EXPECT_TRUE(folders.calls().isEmpty());
    EXPECT_FALSE(fatal.ended());
}

TEST_F(MaintenanceWindow, BackupFolderNamesCarryTheLocalTimeInFourteenDigits)
{
    struct Case
    {
        QDateTime at;
        QString name;
    };
    const Case cases[] = {
        {QDateTime(QDate(2024, 1, 31), QTime(23, 59, 58)), "DB-20240131235958"},
        {QDateTime(QDate(2003, 7, 4), QTime(0, 0, 0)), "DB-20030704000000"},
        {QDateTime(QDate(2025, 12, 1), QTime(13, 5, 9)), "DB-20251201130509"},
    };
    auto window = openWindow();
    for (const Case& c : cases) {
        now = c.at;
        EXPECT_EQ(window->MakeBackupFolderName(), c.name);
        EXPECT_EQ(c.name.size(), 17);
    }
}

TEST_F(MaintenanceWindow, ActionButtonsFollowTheirBoxes)
{
    auto window = openWindow();
    struct Step
    {
        const char* what;
        QLineEdit* box;
        QString text;
        bool backup;
        bool restore;
        bool compact;
    };
    const Step steps[] = {
        {"source cleared", window->txtBackupSource, "", false, false, false},
        {"source typed again", window->txtBackupSource, "/srv/Acc", true, false, false},
        {"target cleared", window->txtBackupTo, "", false, false, false},
        {"target typed", window->txtBackupTo, "บริษัท O'Neil", true, false, false},
        {"backup folder typed", window->txtBackupfile, "/srv/b/", true, true, false},
        {"restore target cleared", window->txtRestoreTo, "", true, false, false},
        {"restore target typed", window->txtRestoreTo, "x", true, true, false},
        {"backup folder cleared", window->txtBackupfile, "", true, false, false},
        {"database typed", window->txtCompactFileName, "/srv/a.mdb", true, false, true},
        {"database cleared: stays enabled", window->txtCompactFileName, "", true, false, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.box->setFocus();
        s.box->selectAll();
        QTest::keyClick(s.box, Qt::Key_Delete);
        typeText(s.box, s.text);
        EXPECT_EQ(s.box->text(), s.text);
        EXPECT_EQ(window->CmdBackup->isEnabled(), s.backup);
        EXPECT_EQ(window->CmdRestore->isEnabled(), s.restore);
        EXPECT_EQ(window->cmdCompactDatabase->isEnabled(), s.compact);
    }
}

TEST_F(MaintenanceWindow, FolderButtonsOpenAtTheParentOfTheFolderShownAndFillTheirBox)
{
    struct Case
    {
        const char* what;
        const char* button;
        QLineEdit* frmMain::*startBox;
        QString startText;
        QString answer; // the picker's answer; empty = cancelled
        QString expectedStart;
        QString prompt;
        QLineEdit* frmMain::*filledBox;
        QString filled; // the box's text afterwards ("=" = unchanged)
        bool newStamp;  // BackupFolderName made anew
    };
    const QString acc = "/srv/Acc";
    const QString application = "Select Application Folder :";
    const QString backup = "Select Backup Folder :";
    const Case cases[] = {
        {"source", "cmdSource", &frmMain::txtBackupSource, acc, "/mnt/Other", "/srv", application,
         &frmMain::txtBackupSource, "/mnt/Other", false},
        {"source cancelled", "cmdSource", &frmMain::txtBackupSource, acc, "", "/srv", application,
         &frmMain::txtBackupSource, "=", false},
        {"backup target from the default text", "cmdDistination", &frmMain::txtBackupTo,
         acc + "/Backup/DB-20240131235958/", "/media/usb", acc + "/Backup", backup, &frmMain::txtBackupTo,
         "/media/usb/DB-20240201080000", true},
        {"backup target, the same folder again", "cmdDistination", &frmMain::txtBackupTo,
         "/media/usb/DB-20240131235958", "/media/usb", "/media/usb", backup, &frmMain::txtBackupTo,
         "/media/usb/DB-20240201080000", true},
        {"backup target cancelled", "cmdDistination", &frmMain::txtBackupTo, "/media/usb/DB-1", "",
         "/media/usb", backup, &frmMain::txtBackupTo, "=", false},
        {"backup target at the root", "cmdDistination", &frmMain::txtBackupTo, "/media", "/", "/", backup,
         &frmMain::txtBackupTo, "//DB-20240201080000", true},
        {"backup folder opens where the backups are", "CmdSelectBackupFile", &frmMain::txtBackupTo,
         acc + "/Backup/DB-20240131235958/", acc + "/Backup/DB-20240131235958", acc + "/Backup", backup,
         &frmMain::txtBackupfile, acc + "/Backup/DB-20240131235958/", false},
        {"backup folder cancelled", "CmdSelectBackupFile", &frmMain::txtBackupTo, acc + "/Backup/x/", "",
         acc + "/Backup", backup, &frmMain::txtBackupfile, "=", false},
        {"restore target", "CmdRestoreTo", &frmMain::txtRestoreTo, acc + "/", "/srv/บริษัท O'Neil ใหม่", "/srv",
         application, &frmMain::txtRestoreTo, "/srv/บริษัท O'Neil ใหม่/", false},
        {"restore target at the root", "CmdRestoreTo", &frmMain::txtRestoreTo, acc + "/", "/", "/srv",
         application, &frmMain::txtRestoreTo, "//", false},
        {"a box without a separator", "CmdRestoreTo", &frmMain::txtRestoreTo, "Acc", "/srv/New", "",
         application, &frmMain::txtRestoreTo, "/srv/New/", false},
        {"an empty box", "cmdSource", &frmMain::txtBackupSource, "", "/srv/New", "", application,
         &frmMain::txtBackupSource, "/srv/New", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        now = QDateTime(QDate(2024, 1, 31), QTime(23, 59, 58));
        auto window = openWindow();
        (window.get()->*c.startBox)->setText(c.startText);
        QLineEdit* filled = window.get()->*c.filledBox;
        const QString before = filled->text();
        const QString nameBefore = window->BackupFolderName;
        now = QDateTime(QDate(2024, 2, 1), QTime(8, 0, 0));
        folders.queueAnswer(c.answer);
        const int callsBefore = int(folders.calls().size());

        QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(c.button)), Qt::LeftButton);

        ASSERT_EQ(folders.calls().size(), callsBefore + 1);
        EXPECT_EQ(folders.calls().last().startFolder, c.expectedStart);
        EXPECT_EQ(folders.calls().last().prompt, c.prompt);
        EXPECT_EQ(filled->text(), c.filled == "=" ? before : c.filled);
        EXPECT_EQ(window->BackupFolderName, c.newStamp ? QStringLiteral("DB-20240201080000") : nameBefore);
    }
    EXPECT_TRUE(messages.calls().isEmpty());
    EXPECT_FALSE(fatal.ended());
}

TEST_F(MaintenanceWindow, TheExitButtonClosesTheWindowAndEscapeDoesNot)
{
    auto window = openWindow();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(messages.calls().isEmpty());
}

} // namespace

namespace {

// A local datagram socket that a started program reports its readiness to (NOTIFY_SOCKET).
class ReadinessSocket
{
public:
    explicit ReadinessSocket(const QString& path) : m_path(path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        m_socket.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        m_bound = m_socket &&
                  ::bind(m_socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    bool bound() const { return m_bound; }
    const QString& path() const { return m_path; }

    // The first notice, polled for while the process runs, until the deadline; empty when none came.
    QByteArray waitForNotice(const QProcess& process, std::chrono::seconds deadline)
    {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end && process.state() == QProcess::Running) {
            pollfd ready{m_socket.get(), POLLIN, 0};
            if (::poll(&ready, 1, 100) == 1) {
                char text[512];
                const ssize_t got = ::recv(m_socket.get(), text, sizeof text, 0);
                return got > 0 ? QByteArray(text, int(got)) : QByteArray();
            }
        }
        return {};
    }

private:
    QString m_path;
    UniqueFd m_socket;
    bool m_bound = false;
};

// The built program, started from an application folder as an installed copy is, says when its window
// is shown, keeps running, and ends cleanly when asked to (as at the end of a session).
TEST_F(MaintenanceWindow, TheProgramStartsShowsItsWindowAndEndsCleanlyWhenAsked)
{
    QString bin = qEnvironmentVariable("COMPANYDESK_BIN_DIR");
    if (bin.isEmpty())
        bin = QCoreApplication::applicationDirPath();
    const QString program = appFolder + QStringLiteral("/vaultkeep");
    ASSERT_TRUE(QFile::copy(bin + QStringLiteral("/vaultkeep"), program));
    QTemporaryDir sockets;
    ReadinessSocket notices(sockets.path() + QStringLiteral("/notify"));
    ASSERT_TRUE(notices.bound()) << std::strerror(errno);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), notices.path());
    process.setProcessEnvironment(environment);
    process.start(program, {});
    ASSERT_TRUE(process.waitForStarted(30000));

    const QByteArray notice = notices.waitForNotice(process, std::chrono::seconds(90));
    EXPECT_EQ(notice, QByteArray("READY=1\nSTATUS=The maintenance window is shown.\n"))
        << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.state(), QProcess::Running);

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(60000)) << "still running after it was asked to end";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

} // namespace

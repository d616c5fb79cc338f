#include "platform/fileop/QtFileOperationUi.h"

#include "platform/fileop/ShellFileOperation.h"
#include "tests/fileop/FileOpTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace FileOpTest;

namespace {

const QString programTitle = QStringLiteral("vaultkeep");

// Acts on the windows the operation opens while it runs: at every pass of the event loop it offers the
// visible top-level window with the given objectName to the action, which returns true once it is done with
// it.
class WindowWatcher
{
public:
    void on(const QString& objectName, std::function<bool(QWidget&)> action)
    {
        m_actions.append({objectName, std::move(action)});
    }
    void start()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(0); // runs whenever the operation lets events run, so no chunk goes unseen
    }
    int handled() const { return m_handled; }

private:
    void poll()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible())
                continue;
            for (qsizetype i = 0; i < m_actions.size(); ++i) {
                if (window->objectName() == m_actions[i].first && m_actions[i].second(*window)) {
                    m_actions.removeAt(i);
                    ++m_handled;
                    return;
                }
            }
        }
    }

    QTimer m_timer;
    QList<QPair<QString, std::function<bool(QWidget&)>>> m_actions;
    int m_handled = 0;
};

TEST(QtFileOperationUi, ProgressWindowShowsTheFileAndCancels)
{
    QTemporaryDir dir;
    const QString source = dir.path() + "/src/Larkspur.mdb";
    writeFile(source, patternData(8 * 1024 * 1024, 5));
    QDir().mkpath(dir.path() + "/dst");
    QtFileOperationUi ui(programTitle);
    ShellFileOperation operation(ui);
    operation.setChunkSize(64 * 1024);

    QString fileShown;
    QString bytesShown;
    Qt::WindowModality modality = Qt::NonModal;
    QString errorTitle;
    QString errorText;
    QMessageBox::Icon errorIcon = QMessageBox::NoIcon;
    WindowWatcher watcher;
    watcher.on("FileOperationProgress", [&](QWidget& window) {
        if (window.findChild<QProgressBar*>("barProgress")->value() == 0)
            return false; // wait until some data has been copied
        fileShown = window.findChild<QLabel*>("lblCurrentFile")->text();
        bytesShown = window.findChild<QLabel*>("lblBytesDone")->text();
        modality = window.windowModality();
        QTest::mouseClick(window.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        return true;
    });
    watcher.on("FileOperationError", [&](QWidget& window) {
        auto& box = static_cast<QMessageBox&>(window);
        errorTitle = box.windowTitle();
        errorText = box.text();
        errorIcon = box.icon();
        box.button(QMessageBox::Ok)->click();
        return true;
    });
    watcher.start();

    const FileOpResult result = operation.copy(source, dir.path() + "/dst", Fof::NoConfirmMkdir);

    EXPECT_EQ(watcher.handled(), 2);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(fileShown.startsWith("Larkspur.mdb\nfrom " + dir.path() + "/src")) << fileShown.toStdString();
    EXPECT_TRUE(bytesShown.endsWith(" of " + QLocale().formattedDataSize(8 * 1024 * 1024)))
        << bytesShown.toStdString();
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(errorTitle, programTitle);
    EXPECT_EQ(errorText, result.error);
    EXPECT_EQ(errorIcon, QMessageBox::Critical);
    EXPECT_EQ(tree(dir.path() + "/dst"), QStringList{});
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_NE(window->objectName(), "FileOperationProgress"); // closed once the operation ended
}

TEST(QtFileOperationUi, ReplaceQuestionOffersFourButtons)
{
    struct Case
    {
        const char* name;
        QMessageBox::StandardButton pressed;
        QByteArray expected;
        bool ok;
    };
    const Case cases[] = {
        {"yes", QMessageBox::Yes, "new", true},
        {"yes to all", QMessageBox::YesToAll, "new", true},
        {"no", QMessageBox::No, "old", true},
        {"cancel", QMessageBox::Cancel, "old", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        writeFile(dir.path() + "/src/MCLarkspur.mdb", "new");
        writeFile(dir.path() + "/dst/MCLarkspur.mdb", "old");
        QtFileOperationUi ui(programTitle);
        QMessageBox::StandardButtons offered;
        QString title;
        WindowWatcher watcher;
        watcher.on("FileOperationReplace", [&](QWidget& window) {
            auto& box = static_cast<QMessageBox&>(window);
            offered = box.standardButtons();
            title = box.windowTitle();
            box.button(c.pressed)->click();
            return true;
        });
        watcher.on("FileOperationError", [&](QWidget& window) {
            static_cast<QMessageBox&>(window).button(QMessageBox::Ok)->click();
            return true;
        });
        watcher.start();

        const FileOpResult result = ShellFileOperation(ui).copy(
            dir.path() + "/src/MCLarkspur.mdb", dir.path() + "/dst", Fof::Silent | Fof::NoConfirmMkdir);

        EXPECT_EQ(offered, QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(title, programTitle);
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_EQ(watcher.handled(), c.ok ? 1 : 2);
        EXPECT_EQ(readFile(dir.path() + "/dst/MCLarkspur.mdb"), c.expected);
    }
}

} // namespace

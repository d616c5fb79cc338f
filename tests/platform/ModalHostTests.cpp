#include "platform/ExecModalHost.h"
#include "platform/doubles/ScriptedModalHost.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QDialog>
#include <QLineEdit>
#include <QShowEvent>
#include <gtest/gtest.h>

namespace {

// A window that does its set-up when it is shown, as the design's windows do at load.
class LoadingDialog : public QDialog
{
public:
    explicit LoadingDialog(const QString& name)
    {
        setObjectName(name);
        field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("txtName"));
    }
    QLineEdit* field = nullptr;
    int shows = 0;

protected:
    void showEvent(QShowEvent* event) override
    {
        ++shows;
        field->setText(QStringLiteral("loaded"));
        QDialog::showEvent(event);
    }
};

TEST(ScriptedModalHost, RunsEachScriptOnTheShownWindowAndReturnsItsResult)
{
    enum class Script
    {
        None,
        Accept,
        Reject,
        LeaveOpen,
        Done5
    };
    struct Case
    {
        Script script;
        int result;
    };
    const Case cases[] = {
        {Script::None, QDialog::Rejected},
        {Script::Accept, QDialog::Accepted},
        {Script::Reject, QDialog::Rejected},
        {Script::LeaveOpen, QDialog::Rejected},
        {Script::Done5, 5},
    };
    for (const Case& c : cases) {
        ScriptedModalHost host;
        LoadingDialog dialog(QStringLiteral("frmAddCompany"));
        bool ran = false;
        if (c.script != Script::None) {
            host.queueScript([&ran, &c](QDialog& shown) {
                ran = true;
                auto& loading = static_cast<LoadingDialog&>(shown);
                EXPECT_TRUE(shown.isVisible());
                EXPECT_TRUE(shown.isModal());
                EXPECT_EQ(loading.shows, 1);
                EXPECT_EQ(shown.findChild<QLineEdit*>(QStringLiteral("txtName"))->text(),
                          QStringLiteral("loaded"));
                if (c.script == Script::Accept)
                    shown.accept();
                else if (c.script == Script::Reject)
                    shown.reject();
                else if (c.script == Script::Done5)
                    shown.done(5);
            });
        }
        EXPECT_EQ(host.showModal(dialog), c.result) << int(c.script);
        EXPECT_EQ(ran, c.script != Script::None);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.shows, 1);
        EXPECT_EQ(host.shown(), QList<QString>{QStringLiteral("frmAddCompany")});
    }
}

TEST(ScriptedModalHost, ScriptsAreUsedInOrderAndNestedWindowsAreRecorded)
{
    ScriptedModalHost host;
    LoadingDialog chooser(QStringLiteral("frmChooseCompany"));
    LoadingDialog adder(QStringLiteral("frmAddCompany"));
    host.queueScript([&host, &adder](QDialog& shown) {
        EXPECT_EQ(shown.objectName(), QStringLiteral("frmChooseCompany"));
        EXPECT_EQ(host.showModal(adder), QDialog::Accepted);
        shown.accept();
    });
    host.queueScript([](QDialog& shown) {
        EXPECT_EQ(shown.objectName(), QStringLiteral("frmAddCompany"));
        shown.accept();
    });
    EXPECT_EQ(host.showModal(chooser), QDialog::Accepted);
    EXPECT_EQ(host.shown(),
              (QList<QString>{QStringLiteral("frmChooseCompany"), QStringLiteral("frmAddCompany")}));
}

TEST(ExecModalHost, ShowsTheWindowModallyUntilItCloses)
{
    struct Case
    {
        bool accept;
        int result;
    };
    const Case cases[] = {{true, QDialog::Accepted}, {false, QDialog::Rejected}};
    for (const Case& c : cases) {
        ExecModalHost host;
        LoadingDialog dialog(QStringLiteral("frmLogin"));
        bool seen = false;
        PlatformTest::onModal([](QWidget* w) { return w->objectName() == QStringLiteral("frmLogin"); },
                              [&seen, &c](QWidget* w) {
                                  seen = true;
                                  auto* shown = static_cast<LoadingDialog*>(w);
                                  EXPECT_EQ(shown->shows, 1);
                                  if (c.accept)
                                      shown->accept();
                                  else
                                      shown->reject();
                              });
        EXPECT_EQ(host.showModal(dialog), c.result);
        EXPECT_TRUE(seen);
    }
}

} // namespace

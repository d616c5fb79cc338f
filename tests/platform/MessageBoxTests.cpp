#include "platform/MessageBox.h"
#include "platform/QtMessageBox.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

enum class Act
{
    ClickOk,
    ClickYes,
    ClickNo,
    Escape,
    Return
};

struct Seen
{
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool openAfterEscape = false;
    QString objectName;
    QString accessibleName;
    QString accessibleDescription;
    Qt::WindowModality modality = Qt::NonModal;
};

// Shows the box for real and acts on it as a person would; returns the answer and what the box showed.
int showAndAct(QtMessageBox& box, const QString& text, int style, const QString& title, Act act, Seen& seen)
{
    PlatformTest::onModal<QMessageBox>([&seen, act](QMessageBox* shown) {
        seen.found = true;
        seen.title = shown->windowTitle();
        seen.text = shown->text();
        seen.icon = shown->icon();
        seen.buttons = shown->standardButtons();
        seen.defaultButton = shown->standardButton(shown->defaultButton());
        seen.objectName = shown->objectName();
        seen.accessibleName = shown->accessibleName();
        seen.accessibleDescription = shown->accessibleDescription();
        seen.modality = shown->windowModality();
        switch (act) {
        case Act::ClickOk:
            QTest::mouseClick(shown->button(QMessageBox::Ok), Qt::LeftButton);
            break;
        case Act::ClickYes:
            QTest::mouseClick(shown->button(QMessageBox::Yes), Qt::LeftButton);
            break;
        case Act::ClickNo:
            QTest::mouseClick(shown->button(QMessageBox::No), Qt::LeftButton);
            break;
        case Act::Escape:
            QTest::keyClick(shown, Qt::Key_Escape);
            shown->close();
            seen.openAfterEscape = shown->isVisible();
            if (seen.openAfterEscape)
                shown->button(QMessageBox::No)->click();
            break;
        case Act::Return:
            QTest::keyClick(shown, Qt::Key_Return);
            break;
        }
    });
    return box.show(text, style, title);
}

TEST(QtMessageBox, StylesGiveTheirIconButtonsAndAnswers)
{
    struct Case
    {
        int style;
        Act act;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        int answer;
        bool openAfterEscape;
    };
    const auto ok = QMessageBox::StandardButtons(QMessageBox::Ok);
    const auto yesNo = QMessageBox::Yes | QMessageBox::No;
    const Case cases[] = {
        {MsgStyle::OkOnly, Act::ClickOk, QMessageBox::NoIcon, ok, QMessageBox::Ok, MsgResult::Ok, false},
        {MsgStyle::Critical, Act::ClickOk, QMessageBox::Critical, ok, QMessageBox::Ok, MsgResult::Ok, false},
        {MsgStyle::Exclamation, Act::Return, QMessageBox::Warning, ok, QMessageBox::Ok, MsgResult::Ok, false},
        {MsgStyle::Information, Act::Escape, QMessageBox::Information, ok, QMessageBox::Ok, MsgResult::Ok,
         false},
        {MsgStyle::YesNoQuestion, Act::ClickYes, QMessageBox::Question, yesNo, QMessageBox::Yes,
         MsgResult::Yes, false},
        {MsgStyle::YesNoQuestion, Act::ClickNo, QMessageBox::Question, yesNo, QMessageBox::Yes, MsgResult::No,
         false},
        {MsgStyle::YesNoQuestion, Act::Return, QMessageBox::Question, yesNo, QMessageBox::Yes, MsgResult::Yes,
         false},
        // Escape and the close button do nothing: the answer still comes from a button (No here).
        {MsgStyle::YesNoQuestion, Act::Escape, QMessageBox::Question, yesNo, QMessageBox::Yes, MsgResult::No,
         true},
    };
    QtMessageBox box(QStringLiteral("companydesk"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style << " act " << int(c.act));
        Seen seen;
        const int answer =
            showAndAct(box, QStringLiteral("Delete the company?"), c.style, QString(), c.act, seen);
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.defaultButton, c.defaultButton);
        EXPECT_EQ(seen.openAfterEscape, c.openAfterEscape);
        EXPECT_EQ(seen.title, QStringLiteral("companydesk"));
        EXPECT_EQ(seen.modality, Qt::ApplicationModal);
        EXPECT_EQ(seen.objectName, QStringLiteral("MessageBox"));
    }
}

TEST(QtMessageBox, TitleTextLineBreaksAndWhatAScreenReaderReads)
{
    struct Case
    {
        QString text;
        QString title;
        QString shownText;
        QString shownTitle;
    };
    const Case cases[] = {
        {QStringLiteral("first\r\nsecond"), QString(), QStringLiteral("first\nsecond"),
         QStringLiteral("vaultkeep")},
        {QStringLiteral("first\nsecond\r\n\r\nthird"), QStringLiteral("Compact"),
         QStringLiteral("first\nsecond\n\nthird"), QStringLiteral("Compact")},
        // Text is never read as markup.
        {QStringLiteral("<b>not bold</b>"), QStringLiteral("ข้อความ"), QStringLiteral("<b>not bold</b>"),
         QStringLiteral("ข้อความ")},
    };
    QtMessageBox box(QStringLiteral("vaultkeep"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Seen seen;
        EXPECT_EQ(showAndAct(box, c.text, MsgStyle::Information, c.title, Act::ClickOk, seen), MsgResult::Ok);
        EXPECT_EQ(seen.text, c.shownText);
        EXPECT_EQ(seen.title, c.shownTitle);
        EXPECT_EQ(seen.accessibleName, c.shownTitle);
        EXPECT_EQ(seen.accessibleDescription, c.shownText);
    }
    PlatformTest::onModal<QMessageBox>([](QMessageBox* shown) {
        EXPECT_EQ(shown->textFormat(), Qt::PlainText);
        shown->button(QMessageBox::Ok)->click();
    });
    box.show(QStringLiteral("x"));
}

TEST(ScriptedMessageBox, RecordsEveryBoxAndAnswersFromItsQueue)
{
    ScriptedMessageBox box;
    box.queueAnswer(MsgResult::No);
    EXPECT_EQ(box.show(QStringLiteral("Delete?"), MsgStyle::YesNoQuestion, QString()), MsgResult::No);
    EXPECT_EQ(box.show(QStringLiteral("Done."), MsgStyle::Information, QStringLiteral("Backup")),
              MsgResult::Ok);
    EXPECT_EQ(box.show(QStringLiteral("Plain"), MsgStyle::OkOnly, QString()), MsgResult::Ok);
    const QList<ScriptedMessageBox::Call> expected = {
        {QStringLiteral("Delete?"), MsgStyle::YesNoQuestion, QString()},
        {QStringLiteral("Done."), MsgStyle::Information, QStringLiteral("Backup")},
        {QStringLiteral("Plain"), MsgStyle::OkOnly, QString()},
    };
    EXPECT_EQ(box.calls(), expected);
    EXPECT_EQ(box.pendingAnswers(), 0);
}

TEST(ScriptedMessageBoxDeathTest, AnUnansweredQuestionEndsTheTestProgramNamingIt)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScriptedMessageBox box;
    EXPECT_DEATH(box.show(QStringLiteral("Delete company 7?"), MsgStyle::YesNoQuestion, QString()),
                 "no answer queued for the question \"Delete company 7\\?\"");
}

} // namespace

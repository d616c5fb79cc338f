#include "platform/QtMessageBox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The style number is a sum: the low bits choose the buttons, the next ones the icon.
constexpr int ButtonMask = 0x7;
constexpr int YesNoButtons = 4;
constexpr int IconMask = 0x70;

QMessageBox::Icon iconFor(int style)
{
    switch (style & IconMask) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// A Yes/No question has no way out but its two buttons: QMessageBox would otherwise take No as the
// escape button and answer it for Escape or the window's close button.
class BoxWithoutEscape : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;
    void setEscapeAllowed(bool allowed) { m_escapeAllowed = allowed; }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_escapeAllowed && event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (!m_escapeAllowed) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

private:
    bool m_escapeAllowed = true;
};

} // namespace

QtMessageBox::QtMessageBox(QString programTitle) : m_programTitle(std::move(programTitle)) {}

int QtMessageBox::show(const QString& text, int style, const QString& title)
{
    QString shownText = text;
    shownText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString shownTitle = title.isEmpty() ? m_programTitle : title;
    const bool question = (style & ButtonMask) == YesNoButtons;

    // No parent: a box owned by a window would be destroyed with it, and a fatal report can come while
    // any window is being torn down. Application-modal keeps the rest of the program waiting all the same.
    BoxWithoutEscape box;
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(shownTitle);
    // The texts come from data and error descriptions; they are never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(shownText);
    box.setIcon(iconFor(style));
    box.setAccessibleName(shownTitle);
    box.setAccessibleDescription(shownText);
    if (question) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeAllowed(false);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    box.exec();
    if (!question)
        return MsgResult::Ok;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? MsgResult::Yes : MsgResult::No;
}

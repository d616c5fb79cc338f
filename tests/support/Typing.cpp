#include "tests/support/Typing.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

#include <QTest>

QList<QWidget*> tabSequence(QWidget* window, QWidget* first, int count)
{
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return {};
    first->setFocus(Qt::TabFocusReason);
    QList<QWidget*> visited{QApplication::focusWidget()};
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget());
    }
    return visited;
}

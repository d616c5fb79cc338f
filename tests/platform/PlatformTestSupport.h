#pragma once

#include "tests/support/QtPrinters.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace PlatformTest {

// Runs the action on the first modal window that matches, as soon as it is the active modal window, from
// inside its event loop. A window the action leaves open is closed after a while and the test fails,
// so that a broken case ends instead of waiting for a person.
inline void onModal(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> action)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(poll, &QTimer::timeout, [poll, matches, action, deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !matches(modal)) {
            if (deadline->hasExpired()) {
                ADD_FAILURE() << "the expected modal window did not appear";
                poll->stop();
                poll->deleteLater();
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        const QPointer<QWidget> window(modal);
        // Set before the action, which may itself wait in the window's event loop.
        QTimer::singleShot(3000, [window] {
            if (window.isNull() || !window->isVisible())
                return;
            ADD_FAILURE() << "the modal window " << window->objectName().toStdString() << " was left open";
            // Close it and whatever it opened over itself (a warning box, say), top first.
            for (int i = 0; i < 10 && !window.isNull() && window->isVisible(); ++i) {
                QWidget* top = QApplication::activeModalWidget();
                if (top == nullptr)
                    top = window.data();
                if (auto* dialog = qobject_cast<QDialog*>(top))
                    dialog->done(0);
                else
                    top->hide();
            }
        });
        action(modal);
    });
    poll->start();
}

template <typename Widget> void onModal(std::function<void(Widget*)> action)
{
    onModal([](QWidget* w) { return qobject_cast<Widget*>(w) != nullptr; },
            [action](QWidget* w) { action(qobject_cast<Widget*>(w)); });
}

inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 10000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// This test program run again as a child, for the one test case named by filter; environment holds the
// variable that tells the case it is the child.
inline void startSelf(QProcess& child, const QString& filter, const QString& variable, const QString& value)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(variable, value);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
}

} // namespace PlatformTest

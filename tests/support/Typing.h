#pragma once

#include <QString>

class QWidget;

// Types text into a widget one key event per character, carrying the character itself, so that Thai
// text can be typed too (QTest::keyClicks handles Latin-1 only).
void typeText(QWidget* widget, const QString& text);

#include <QList>

// Shows the window, puts the focus on first and presses Tab count times, as a person moving through the
// window with the keyboard; returns the widgets that had the focus, first included.
QList<QWidget*> tabSequence(QWidget* window, QWidget* first, int count);

#include "platform/QtScreen.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

QtScreenPointer::~QtScreenPointer()
{
    setBusy(false);
}

void QtScreenPointer::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    m_busy = busy;
}

void QtEventPump::processPending()
{
    QCoreApplication::processEvents();
}

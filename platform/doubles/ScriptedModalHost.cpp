#include "platform/doubles/ScriptedModalHost.h"

#include <QCoreApplication>
#include <QDialog>

int ScriptedModalHost::showModal(QDialog& dialog)
{
    m_shown.append(dialog.objectName());
    // What exec() does before its loop: a fresh result, shown as a modal window, and kept alive while
    // shown even when it deletes itself on close.
    const bool deleteOnClose = dialog.testAttribute(Qt::WA_DeleteOnClose);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    const bool wasShowModal = dialog.testAttribute(Qt::WA_ShowModal);
    dialog.setAttribute(Qt::WA_ShowModal, true);
    dialog.setResult(0);
    dialog.show();
    QCoreApplication::processEvents();
    if (!m_scripts.isEmpty()) {
        const Script script = m_scripts.takeFirst();
        script(dialog);
    }
    // A window the script left open is closed the way a person closing it would.
    if (dialog.isVisible())
        dialog.reject();
    const int result = dialog.result();
    dialog.setAttribute(Qt::WA_ShowModal, wasShowModal);
    if (deleteOnClose)
        delete &dialog;
    return result;
}

#include "platform/ExecModalHost.h"

#include <QDialog>

int ExecModalHost::showModal(QDialog& dialog)
{
    return dialog.exec();
}

#pragma once

#include "platform/ModalHost.h"

// Shows each window with QDialog::exec().
class ExecModalHost : public IModalHost
{
public:
    int showModal(QDialog& dialog) override;
};

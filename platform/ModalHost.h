#pragma once

class QDialog;

// Every modal window is shown through this, so that a test can see which window an action opened and
// drive it instead of a person.
class IModalHost
{
public:
    virtual ~IModalHost() = default;
    // Shows the dialog modally and returns when it is closed; returns the dialog's result code.
    virtual int showModal(QDialog& dialog) = 0;
};

#pragma once

#include "platform/MessageBox.h"

// Message boxes shown with QMessageBox, application-modal, titled with the program's title unless the
// caller names one.
class QtMessageBox : public IMessageBox
{
public:
    explicit QtMessageBox(QString programTitle);
    int show(const QString& text, int style = MsgStyle::OkOnly, const QString& title = {}) override;

private:
    QString m_programTitle;
};

#include "launcher/windows/frmAddCompany.h"

#include "launcher/core/MdlDAO.h"
#include "launcher/windows/DialogParts.h"
#include "launcher/windows/LauncherServices.h"
#include "platform/MessageBox.h"
#include "platform/WindowEvent.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmAddCompany::frmAddCompany(LauncherGlobals& globals, const LauncherServices& services, QWidget* parent)
    : QDialog(parent), m_globals(globals), m_services(services)
{
    setObjectName(QStringLiteral("frmAddCompany"));
    setWindowTitle(QStringLiteral("# เพิ่มข้อมูลบริษัท #"));
    DialogParts::okCancel(this, OKButton, CancelButton);
    txtCompanyName = DialogParts::textBox(this, QStringLiteral("txtCompanyName"));
    lblUserName =
        DialogParts::caption(this, QStringLiteral("lblUserName"), QStringLiteral("ชื่อบริษัท"), txtCompanyName);

    auto* layout = new QGridLayout(this);
    layout->addWidget(lblUserName, 0, 0);
    layout->addWidget(txtCompanyName, 0, 1);
    layout->setColumnMinimumWidth(1, 260);
    layout->addLayout(DialogParts::buttonRow(OKButton, CancelButton), 1, 0, 1, 2);

    setTabOrder(OKButton, CancelButton);
    setTabOrder(CancelButton, txtCompanyName);

    connect(OKButton, &QPushButton::clicked, this, &frmAddCompany::OKButton_Click);
}

bool frmAddCompany::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        txtCompanyName->setFocus(Qt::ActiveWindowFocusReason);
    return QDialog::event(event);
}

void frmAddCompany::OKButton_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        if (MdlDAO::AddCompany(m_globals, m_services.files, txtCompanyName->text()))
            accept();
        else
            m_services.messages.show(QStringLiteral("เกิดข้อผิดพลาด"), MsgStyle::Critical, QString());
    });
}

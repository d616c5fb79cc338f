#include "launcher/windows/frmEditCompany.h"

#include "base/AppError.h"
#include "engine/Convert.h"
#include "launcher/core/CompanyFields.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/windows/frmChooseCompany.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/WindowEvent.h"
#include "shared/DialogParts.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

frmEditCompany::frmEditCompany(LauncherGlobals& globals, const DesktopServices& services,
                               const frmChooseCompany& chooser, QWidget* parent)
    : QDialog(parent), m_globals(globals), m_services(services)
{
    setObjectName(QStringLiteral("frmEditCompany"));
    setWindowTitle(QStringLiteral("# แก้ไขข้อมูลบริษัท #"));
    DialogParts::okCancel(this, OKButton, CancelButton);
    txtCompanyName = DialogParts::textBox(this, QStringLiteral("txtCompanyName"));
    lblUserName =
        DialogParts::caption(this, QStringLiteral("lblUserName"), QStringLiteral("ชื่อบริษัท"), txtCompanyName);
    txtCompanyID = DialogParts::textBox(this, QStringLiteral("txtCompanyID"));
    txtCompanyID->setEnabled(false);
    Label1 = DialogParts::caption(this, QStringLiteral("Label1"), QStringLiteral("รหัสบริษัท"), txtCompanyID);
    txtDatabaseName = DialogParts::textBox(this, QStringLiteral("txtDatabaseName"));
    Label2 = DialogParts::caption(this, QStringLiteral("Label2"), QStringLiteral("ฐานข้อมูล"), txtDatabaseName);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(txtCompanyID, 0, 1);
    layout->addWidget(lblUserName, 1, 0);
    layout->addWidget(txtCompanyName, 1, 1);
    layout->addWidget(Label2, 2, 0);
    layout->addWidget(txtDatabaseName, 2, 1);
    layout->setColumnMinimumWidth(1, 260);
    layout->addLayout(DialogParts::buttonRow(OKButton, CancelButton), 3, 0, 1, 2);

    setTabOrder(OKButton, CancelButton);
    setTabOrder(CancelButton, txtCompanyName);
    setTabOrder(txtCompanyName, txtCompanyID);
    setTabOrder(txtCompanyID, txtDatabaseName);

    connect(OKButton, &QPushButton::clicked, this, &frmEditCompany::OKButton_Click);

    runWindowEvent(m_services.fatal, [this, &chooser] { Form_Load(chooser); });
}

void frmEditCompany::Form_Load(const frmChooseCompany& chooser)
{
    Recordset company = MdlDAO::GetCompanyByID(m_globals, chooser.GetSelectedCompany());
    if (company.recordCount() >= 1) {
        company.moveFirst();
        // A null shows as an empty box, so that a row written by another program can be repaired here.
        txtCompanyName->setText(CompanyFields::text(company.value(QStringLiteral("Company_Name"))));
        txtCompanyID->setText(CompanyFields::text(company.value(QStringLiteral("Company_ID"))));
        txtDatabaseName->setText(CompanyFields::text(company.value(QStringLiteral("Database_Name"))));
        company.close();
    }
}

bool frmEditCompany::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        txtCompanyName->setFocus(Qt::ActiveWindowFocusReason);
    return QDialog::event(event);
}

void frmEditCompany::OKButton_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        // Without a company picked there is no identifier to save under: the dialog says so and stays.
        const std::optional<std::int16_t> id = CompanyFields::companyId(txtCompanyID->text());
        if (id && MdlDAO::UpdateCompany(m_globals, *id, txtCompanyName->text(), QString(),
                                        txtDatabaseName->text(), 0, 0))
            accept();
        else
            m_services.messages.show(QStringLiteral("เกิดข้อผิดพลาด"), MsgStyle::Critical, QString());
    });
}

#include "launcher/windows/frmLogin.h"

#include "launcher/core/CompanyFields.h"
#include "launcher/core/DataLinks.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/core/SettingsKeys.h"
#include "launcher/windows/ILauncherWindows.h"
#include "launcher/windows/WindowArt.h"
#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "platform/ShellExe.h"
#include "platform/Twips.h"
#include "platform/WindowEvent.h"
#include "shared/AppFolder.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString NoCompanyPrompt = QStringLiteral("กรุณาเลือกบริษัท ก่อนที่จะเริ่มใช้งาน");
}

frmLogin::frmLogin(LauncherGlobals& globals, const DesktopServices& services, ILauncherWindows& windows,
                   QWidget* parent)
    : QDialog(parent), m_globals(globals), m_services(services), m_windows(windows)
{
    buildControls();
    runWindowEvent(m_services.fatal, [this] { Form_Initialize(); });
}

void frmLogin::buildControls()
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("# Larkspur : Multi Company Version #"));
    setWindowIcon(WindowArt::appIcon());
    setAttribute(Qt::WA_QuitOnClose, true);

    auto* banner = WindowArt::bannerPicture(this);
    auto* picture = WindowArt::sidePicture(this);
    Label1 = new QLabel(QStringLiteral("ระบบบริหารงานเอกสาร SME  : เวอร์ชั่น หลายบริษัท"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label3 = new QLabel(QStringLiteral("Welcome to Larkspur "), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    lblVersion = new QLabel(QStringLiteral("Version 1.00"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersionStatus = new QLabel(QStringLiteral("Network Version"), this);
    lblVersionStatus->setObjectName(QStringLiteral("lblVersionStatus"));
    lblCompanyName = new QLabel(this);
    lblCompanyName->setObjectName(QStringLiteral("lblCompanyName"));
    // The name comes from the data: markup in it is shown as typed, never rendered or followed.
    lblCompanyName->setTextFormat(Qt::PlainText);
    lblCompanyName->setTextInteractionFlags(Qt::NoTextInteraction);
    lblCompanyName->setWordWrap(true);

    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    // The mask shows "*" rather than the style's bullet.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    const QStringList captions = {QStringLiteral("รหัสผู้ใช้ :"), QStringLiteral("รหัสผ่าน :")};
    const std::array<QLineEdit*, 2> boxes = {txtUserName, txtPassword};
    for (int i = 0; i < 2; ++i) {
        lblLabels[i] = new QLabel(captions[i], this);
        lblLabels[i]->setObjectName(QStringLiteral("lblLabels(%1)").arg(i));
        lblLabels[i]->setBuddy(boxes[i]);
        boxes[i]->setAccessibleName(captions[i]);
    }

    auto makeButton = [this](const QString& name, const QString& caption) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    cmdOK = makeButton(QStringLiteral("cmdOK"), QStringLiteral("ตกลง"));
    cmdOK->setDefault(true);
    cmdCancel = makeButton(QStringLiteral("cmdCancel"), QStringLiteral("ยกเลิก"));
    CmdChooseCompany = makeButton(QStringLiteral("CmdChooseCompany"), QStringLiteral("เลือกบริษัท"));
    btnConnection = makeButton(QStringLiteral("btnConnection"), QStringLiteral("ตั้งค่าการเชื่อมต่อ"));

    auto* form = new QGridLayout;
    form->addWidget(lblLabels[0], 0, 0);
    form->addWidget(txtUserName, 0, 1);
    form->addWidget(lblLabels[1], 1, 0);
    form->addWidget(txtPassword, 1, 1);
    form->setColumnMinimumWidth(1, Twips::toPixels(3000));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CmdChooseCompany);
    buttons->addWidget(btnConnection);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* versions = new QHBoxLayout;
    versions->addWidget(lblVersion);
    versions->addStretch();
    versions->addWidget(lblVersionStatus);

    auto* right = new QVBoxLayout;
    right->addWidget(Label3);
    right->addWidget(Label1);
    right->addWidget(WindowArt::line(this));
    right->addWidget(lblCompanyName);
    right->addLayout(form);
    right->addWidget(WindowArt::line(this));
    right->addLayout(versions);

    auto* middle = new QHBoxLayout;
    middle->addWidget(picture, 0, Qt::AlignTop);
    middle->addLayout(right, 1);

    auto* whole = new QVBoxLayout(this);
    whole->addWidget(banner);
    whole->addLayout(middle);
    whole->addLayout(buttons);

    setTabOrder(txtUserName, txtPassword);
    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, CmdChooseCompany);
    setTabOrder(CmdChooseCompany, btnConnection);

    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);
    connect(CmdChooseCompany, &QPushButton::clicked, this, &frmLogin::CmdChooseCompany_Click);
    connect(btnConnection, &QPushButton::clicked, this, &frmLogin::btnConnection_Click);
}

void frmLogin::Form_Initialize()
{
    const QString standalone = m_services.settings.get(SettingsKeys::Standalone);
    if (standalone != QStringLiteral("1") && standalone != QStringLiteral("0"))
        m_windows.ShowLanMain();
    m_globals.ServerPath = m_services.settings.get(SettingsKeys::ServerPath);
}

void frmLogin::Form_Load()
{
    runWindowEvent(m_services.fatal, [this] {
        lblVersionStatus->setText(QStringLiteral("Standalone Version"));
        btnConnection->setVisible(false);
        lblVersion->setText(QStringLiteral("Version ") + m_globals.AppVersion);
        m_globals.DatabasePath = MdlDAO::GetDatabasePath(m_globals);
        MdlDAO::RecoverInterruptedAdds(m_globals);
        if (m_services.settings.get(SettingsKeys::CompanyId).isEmpty())
            ChooseCompany();
        m_globals.CurrentCompanyID = MdlDAO::GetCurrentCompanyID(m_globals, m_services.settings);
        if (m_globals.CurrentCompanyID != 0) {
            Recordset company = MdlDAO::GetCompanyByID(m_globals, m_globals.CurrentCompanyID);
            if (company.recordCount() >= 1) {
                company.moveFirst();
                m_globals.CurrentCompanyName =
                    CompanyFields::text(company.value(QStringLiteral("Company_Name")));
                company.close();
            } else {
                // A company that no longer exists is no company: start stays disabled until one is
                // chosen, rather than opening whatever the data-link file names.
                m_globals.CurrentCompanyID = 0;
            }
        }
        if (m_globals.CurrentCompanyID == 0)
            m_globals.CurrentCompanyName = QStringLiteral("-");
        ShowCompanyState();
    });
}

void frmLogin::ShowCompanyState()
{
    const bool chosen = m_globals.CurrentCompanyID != 0;
    lblCompanyName->setText(chosen ? m_globals.CurrentCompanyName : NoCompanyPrompt);
    cmdOK->setEnabled(chosen);
}

void frmLogin::ChooseCompany()
{
    m_windows.ShowChooseCompany();
    ShowCompanyState();
}

bool frmLogin::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        txtUserName->setFocus(Qt::ActiveWindowFocusReason);
    return QDialog::event(event);
}

void frmLogin::keyPressEvent(QKeyEvent* event)
{
    // Escape does not close the launcher; only the cancel button and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmLogin::writeDataLinkForShownCompany()
{
    const MdlDAO::CompanyDatabase company =
        MdlDAO::FindCompanyDatabase(m_globals, m_globals.CurrentCompanyID);
    if (!company.exists) {
        m_services.messages.show(
            QStringLiteral("The company \"%1\" no longer exists; another user may have deleted it. Please "
                           "choose a company.")
                .arg(m_globals.CurrentCompanyName),
            MsgStyle::Exclamation, QString());
        m_globals.CurrentCompanyID = 0;
        m_globals.CurrentCompanyName = QStringLiteral("-");
        ShowCompanyState();
        return false;
    }
    if (company.path.isEmpty()) {
        m_services.messages.show(company.problem, MsgStyle::Critical, QString());
        return false;
    }
    DataLinks::WriteCompanyDataLink(m_globals, m_services.app.folder, m_globals.CurrentCompanyID);
    return true;
}

void frmLogin::cmdOK_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        // datalink.udl is one file for every seat on the application folder: it is written for the
        // company this window shows right before the start, so another seat's choice is not what opens.
        if (!writeDataLinkForShownCompany())
            return;
        const QString parameters = txtUserName->text().isEmpty()
                                       ? QString()
                                       : txtUserName->text() + QLatin1Char(' ') + txtPassword->text();
        ShellExe::ExecuteFile(m_services.starter, AppFolder::AccountingProgramName, 1, parameters,
                              m_services.app.folder + QLatin1Char('/'));
        close();
    });
}

void frmLogin::cmdCancel_Click()
{
    runWindowEvent(m_services.fatal, [this] { close(); });
}

void frmLogin::CmdChooseCompany_Click()
{
    runWindowEvent(m_services.fatal, [this] { ChooseCompany(); });
}

void frmLogin::btnConnection_Click()
{
    runWindowEvent(m_services.fatal, [this] { m_windows.ShowLanMain(); });
}

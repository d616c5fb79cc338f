#include "launcher/windows/frmLanMain.h"

#include "launcher/core/DataLinks.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/SettingsKeys.h"
#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/SettingsStore.h"
#include "platform/Twips.h"
#include "platform/WindowEvent.h"
#include "shared/AppFolder.h"
#include "shared/BrowseForFolder.h"
#include "shared/DialogParts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmLanMain::frmLanMain(LauncherGlobals& globals, const DesktopServices& services, QWidget* parent)
    : QDialog(parent), m_globals(globals), m_services(services)
{
    buildControls();
    m_folderBox =
        std::make_unique<ConnectionFolderBox>(m_services.messages, *txtBrowse, m_services.app.startFolder,
                                              QStringList{AppFolder::MasterDatabaseName});
    runWindowEvent(m_services.fatal, [this] { Form_Load(); });
}

void frmLanMain::buildControls()
{
    setObjectName(QStringLiteral("frmLanMain"));
    setWindowTitle(QStringLiteral("ตั้งค่าการเชื่อมต่อไปยังเซิร์ฟเวอร์"));

    cmdBrowse = DialogParts::button(this, QStringLiteral("cmdBrowse"), QStringLiteral("เลือกเซิร์ฟเวอร์"));
    txtBrowse = DialogParts::textBox(this, QStringLiteral("txtBrowse"));
    txtBrowse->setMinimumWidth(Twips::toPixels(4500));
    cmdTestConnection =
        DialogParts::button(this, QStringLiteral("cmdTestConnection"), QStringLiteral("ทดสอบการเชื่อมต่อ"));
    DialogParts::okCancel(this, OKButton, CancelButton);
    Label1 =
        DialogParts::caption(this, QStringLiteral("Label1"), QStringLiteral("ที่อยู่เครื่องเซิร์ฟเวอร์ :"), txtBrowse);
    ChkStandalone = new QCheckBox(QStringLiteral("ตั้งเครื่องนี้เป็นเซิร์ฟเวอร์"), this);
    ChkStandalone->setObjectName(QStringLiteral("ChkStandalone"));

    auto* folder = new QGridLayout;
    folder->addWidget(Label1, 0, 0);
    folder->addWidget(txtBrowse, 0, 1);
    folder->addWidget(cmdBrowse, 0, 2);
    folder->addWidget(ChkStandalone, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdTestConnection);
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);

    auto* whole = new QGridLayout(this);
    whole->addLayout(folder, 0, 0);
    whole->addLayout(buttons, 1, 0);

    setTabOrder(cmdBrowse, txtBrowse);
    setTabOrder(txtBrowse, cmdTestConnection);
    setTabOrder(cmdTestConnection, CancelButton);
    setTabOrder(CancelButton, OKButton);
    setTabOrder(OKButton, ChkStandalone);

    // A check box set from code runs the same action as a click, so the load step's tick disables the
    // folder controls too.
    connect(ChkStandalone, &QCheckBox::toggled, this, &frmLanMain::ChkStandalone_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmLanMain::cmdBrowse_Click);
    connect(cmdTestConnection, &QPushButton::clicked, this, &frmLanMain::cmdTestConnection_Click);
    connect(OKButton, &QPushButton::clicked, this, &frmLanMain::OKButton_Click);
}

void frmLanMain::Form_Load()
{
    const QString serverPath = m_services.settings.get(SettingsKeys::ServerPath);
    const QString standalone = m_services.settings.get(SettingsKeys::Standalone);
    if (!serverPath.isEmpty())
        txtBrowse->setText(serverPath);
    if (standalone == QStringLiteral("1"))
        ChkStandalone->setChecked(true);
}

QString frmLanMain::BrowseForFolder(const QString& startFolder, const QString& prompt)
{
    return ::BrowseForFolder(m_services.folders, startFolder, prompt);
}

void frmLanMain::ChkStandalone_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        const bool standalone = ChkStandalone->isChecked();
        txtBrowse->setEnabled(!standalone);
        cmdBrowse->setEnabled(!standalone);
        cmdTestConnection->setEnabled(!standalone);
        if (standalone)
            txtBrowse->setText(m_services.app.folder);
    });
}

void frmLanMain::cmdBrowse_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        const QString chosen = BrowseForFolder(QString(), QStringLiteral("Select Application Folder :"));
        if (!chosen.isEmpty())
            txtBrowse->setText(chosen);
    });
}

void frmLanMain::cmdTestConnection_Click()
{
    runWindowEvent(m_services.fatal, [this] { m_folderBox->test(); });
}

void frmLanMain::SaveConnectionSettings()
{
    m_services.settings.save(SettingsKeys::ServerPath, txtBrowse->text());
    m_services.settings.save(SettingsKeys::Standalone,
                             ChkStandalone->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    m_globals.ServerPath = txtBrowse->text();
}

bool frmLanMain::WriteMasterDataLink()
{
    return DataLinks::WriteMasterDataLink(m_services.app.folder, txtBrowse->text());
}

void frmLanMain::OKButton_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        // The settings keep any length; the master's path must still open.
        if (!m_folderBox->readyToStore(-1))
            return;
        SaveConnectionSettings();
        WriteMasterDataLink();
        accept();
    });
}

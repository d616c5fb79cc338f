#include "launcher/windows/frmLanConnection.h"

#include "base/AppError.h"
#include "engine/Convert.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/Twips.h"
#include "platform/WindowEvent.h"
#include "shared/BrowseForFolder.h"
#include "shared/DialogParts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The stored 'UseDefaultPath' as the check box's state. Only the two values the window itself stores
// have a state; anything else (a missing row, a text that is no number, another number) leaves the box
// unticked, so that the folder box shows the stored data folder rather than a guess.
bool useDefaultTicked(const QString& stored)
{
    try {
        return Convert::toInt16(stored) == 1;
    } catch (const AppError&) {
        return false;
    }
}

} // namespace

frmLanConnection::frmLanConnection(LauncherGlobals& globals, const DesktopServices& services, QWidget* parent)
    : QDialog(parent), m_globals(globals), m_services(services)
{
    buildControls();
    m_folderBox = std::make_unique<ConnectionFolderBox>(
        m_services.messages, *txtPath, m_services.app.startFolder,
        QStringList{QStringLiteral("COMPANYDATA"), QStringLiteral("Larkspur.mdb")});
    runWindowEvent(m_services.fatal, [this] { Form_Load(); });
}

void frmLanConnection::buildControls()
{
    setObjectName(QStringLiteral("frmLanConnection"));
    // Two leading blanks and one trailing blank, as the window has always been titled.
    setWindowTitle(QStringLiteral("  เลือกที่อยู่ของฐานข้อมูลบนเซิร์ฟเวอร์ "));

    txtPath = DialogParts::textBox(this, QStringLiteral("txtPath"));
    txtPath->setMinimumWidth(Twips::toPixels(4500));
    btnBrowse = DialogParts::button(this, QStringLiteral("btnBrowse"), QStringLiteral("เลือกที่อยู่ฐานข้อมูล"));
    Label1 = DialogParts::caption(this, QStringLiteral("Label1"), QStringLiteral("ที่อยู่ของฐานข้อมูล :"), txtPath);
    btnOK = DialogParts::button(this, QStringLiteral("btnOK"), QStringLiteral("ตกลง"));
    btnOK->setDefault(true);
    Command1 = DialogParts::button(this, QStringLiteral("Command1"), QStringLiteral("ยกเลิก"));
    cmdTestConnection =
        DialogParts::button(this, QStringLiteral("cmdTestConnection"), QStringLiteral("ทดสอบการเชื่อมต่อ"));
    ChkStandalone = new QCheckBox(QStringLiteral("ใช้ฐานข้อมูลบนเครื่อง"), this);
    ChkStandalone->setObjectName(QStringLiteral("ChkStandalone"));
    CheckUseDefault = new QCheckBox(QStringLiteral("ใช้ค่ามาตรฐาน"), this);
    CheckUseDefault->setObjectName(QStringLiteral("CheckUseDefault"));
    btnSetToDefaultDBPath = DialogParts::button(this, QStringLiteral("btnSetToDefaultDBPath"),
                                                QStringLiteral("คืนค่าที่อยู่ของฐานข้อมูล เป็นค่ามาตรฐาน"));

    auto* folder = new QGridLayout;
    folder->addWidget(Label1, 0, 0);
    folder->addWidget(txtPath, 0, 1);
    folder->addWidget(btnBrowse, 0, 2);

    auto* choices = new QHBoxLayout;
    choices->addWidget(ChkStandalone);
    choices->addWidget(CheckUseDefault);
    choices->addStretch();
    choices->addWidget(btnSetToDefaultDBPath);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdTestConnection);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(Command1);

    auto* whole = new QVBoxLayout(this);
    whole->addLayout(folder);
    whole->addLayout(choices);
    whole->addLayout(buttons);

    setTabOrder(txtPath, btnBrowse);
    setTabOrder(btnBrowse, btnOK);
    setTabOrder(btnOK, Command1);
    setTabOrder(Command1, cmdTestConnection);
    setTabOrder(cmdTestConnection, ChkStandalone);
    setTabOrder(ChkStandalone, CheckUseDefault);
    setTabOrder(CheckUseDefault, btnSetToDefaultDBPath);

    // Check boxes set from code run the same action as a click.
    connect(CheckUseDefault, &QCheckBox::toggled, this, &frmLanConnection::CheckUseDefault_Click);
    connect(ChkStandalone, &QCheckBox::toggled, this, &frmLanConnection::ChkStandalone_Click);
    connect(btnSetToDefaultDBPath, &QPushButton::clicked, this,
            &frmLanConnection::btnSetToDefaultDBPath_Click);
    connect(btnBrowse, &QPushButton::clicked, this, &frmLanConnection::btnBrowse_Click);
    connect(cmdTestConnection, &QPushButton::clicked, this, &frmLanConnection::cmdTestConnection_Click);
    connect(btnOK, &QPushButton::clicked, this, &frmLanConnection::btnOK_Click);
    connect(Command1, &QPushButton::clicked, this, &frmLanConnection::Command1_Click);
}

void frmLanConnection::Form_Load()
{
    txtPath->setText(m_globals.DatabasePath);
    CheckUseDefault->setChecked(useDefaultTicked(MdlDAO::GetUseDefaultPath(m_globals)));
}

QString frmLanConnection::BrowseForFolder(const QString& startFolder, const QString& prompt)
{
    return ::BrowseForFolder(m_services.folders, startFolder, prompt);
}

void frmLanConnection::CheckUseDefault_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        if (CheckUseDefault->isChecked())
            txtPath->setText(m_globals.ServerPath);
    });
}

void frmLanConnection::btnSetToDefaultDBPath_Click()
{
    runWindowEvent(m_services.fatal, [this] { txtPath->setText(m_globals.ServerPath); });
}

void frmLanConnection::ChkStandalone_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        const bool standalone = ChkStandalone->isChecked();
        txtPath->setEnabled(!standalone);
        btnBrowse->setEnabled(!standalone);
        cmdTestConnection->setEnabled(!standalone);
        if (standalone)
            txtPath->setText(m_services.app.folder);
    });
}

void frmLanConnection::btnBrowse_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        const QString chosen = BrowseForFolder(QString(), QStringLiteral("Select Application Folder :"));
        if (chosen.isEmpty())
            return;
        txtPath->setText(chosen);
        // Takes effect before, and whether or not, the window is confirmed.
        m_globals.DatabasePath = chosen;
    });
}

void frmLanConnection::cmdTestConnection_Click()
{
    runWindowEvent(m_services.fatal, [this] { m_folderBox->test(); });
}

void frmLanConnection::btnOK_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        // The row keeps as many characters as its column holds; a longer folder would not be stored at all.
        if (!m_folderBox->readyToStore(MdlDAO::GetColumnSize(m_globals, QStringLiteral("Config_Data"),
                                                             QStringLiteral("Config_Value"))))
            return;
        m_globals.DatabasePath = txtPath->text();
        // Both routines trap their errors; the window closes whatever they return, the data folder
        // being in effect for this run already.
        MdlDAO::SetDatabasePath(m_globals, m_globals.DatabasePath);
        MdlDAO::SetUseDefaultPath(m_globals,
                                  CheckUseDefault->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        accept();
    });
}

void frmLanConnection::Command1_Click()
{
    reject();
}

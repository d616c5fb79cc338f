#include "maintenance/frmMain.h"

#include "maintenance/BackupRestore.h"
#include "maintenance/TabControl.h"
#include "platform/AppInfo.h"
#include "platform/Twips.h"
#include "platform/WindowEvent.h"
#include "shared/BrowseForFolder.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

const QColor Face(224, 224, 224);
const QColor NavyText(0, 0, 128);
const QColor DarkBlueText(0, 0, 139);

const QString ApplicationFolderPrompt = QStringLiteral("Select Application Folder :");
const QString BackupFolderPrompt = QStringLiteral("Select Backup Folder :");

// Positions and sizes are the window's design values in twips, relative to the container.
void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(Twips::toPixels(left), Twips::toPixels(top), Twips::toPixels(width),
                        Twips::toPixels(height));
}

void paint(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLabel* label(QWidget* parent, const char* name, const QString& caption)
{
    auto* result = new QLabel(caption, parent);
    result->setObjectName(QLatin1String(name));
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return result;
}

QLineEdit* textBox(QWidget* parent, const char* name, const QLabel* caption)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    if (caption != nullptr)
        box->setAccessibleName(caption->text().trimmed());
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QLatin1String(name));
    // Return in a text box must not press a button.
    result->setAutoDefault(false);
    return result;
}

// A "..." button says in its description which box it fills, as its caption alone cannot.
QPushButton* folderButton(QWidget* parent, const char* name, const QLabel* forBox)
{
    QPushButton* result = button(parent, name, QStringLiteral("..."));
    result->setAccessibleDescription(forBox->text().trimmed());
    return result;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(true);
    return box;
}

QGroupBox* frame(QWidget* parent, const char* name)
{
    auto* group = new QGroupBox(QStringLiteral("เลือก"), parent);
    group->setObjectName(QLatin1String(name));
    return group;
}

QFrame* line(QWidget* parent, const char* name)
{
    auto* result = new QFrame(parent);
    result->setObjectName(QLatin1String(name));
    result->setFrameShape(QFrame::HLine);
    result->setFrameShadow(QFrame::Sunken);
    // From (120, 2880) to (6360, 2880).
    result->setGeometry(Twips::toPixels(120), Twips::toPixels(2880) - 1, Twips::toPixels(6360 - 120), 2);
    return result;
}

QLabel* note(QWidget* parent, const char* name, const QString& caption)
{
    QLabel* result = label(parent, name, caption);
    paint(result, QPalette::WindowText, NavyText);
    place(result, 120, 2940, 5775, 255);
    return result;
}

// The folder the picker opens at: the parent of the folder a box shows.
QString parentOfShownFolder(QString text)
{
    if (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    const qsizetype cut = text.lastIndexOf(QLatin1Char('/'));
    if (cut < 0)
        return {}; // no folder to start from: the picker's own default
    if (cut == 0)
        return QStringLiteral("/"); // the root keeps its separator, as a drive kept its letter
    return text.left(cut);
}

} // namespace

frmMain::frmMain(MaintenanceServices services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services)), m_compaction{m_services.messages,
                                                                     m_services.fileOpen,
                                                                     m_services.screen,
                                                                     m_services.events,
                                                                     m_services.app.folder,
                                                                     {},
                                                                     false}
{
    buildWindow();
    connectEvents();
    runWindowEvent(m_services.fatal, [this] { Form_Load(); });
}

void frmMain::buildWindow()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Larkspur Database Maintanance 2.0 : Multi"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose, true);
    setFixedSize(Twips::toPixels(7125), Twips::toPixels(4260));
    paint(this, QPalette::Window, Face);
    setAutoFillBackground(true);
    // A compact Thai face, small enough for every caption to fit the box the window was laid out with
    // (two lines of the password label in its 33 pixels among them).
    QFont compact = font();
    compact.setFamilies({QStringLiteral("Sawasdee"), QStringLiteral("Loma")});
    compact.setPixelSize(10);
    setFont(compact);

    Label1 = label(this, "Label1", QStringLiteral("เลือกฟังก์ชั่นการทำงาน  :"));
    place(Label1, 120, 120, 4695, 375);

    SSTab1 = new TabControl(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    place(SSTab1, 120, 360, 6855, 3255);
    buildBackupPage(SSTab1->addPage(QStringLiteral("สำรองฐานข้อมูล")));
    buildRestorePage(SSTab1->addPage(QStringLiteral("กู้คืนฐานข้อมูล")));
    buildCompactionPage(SSTab1->addPage(QStringLiteral("ลดขนาดฐานข้อมูล")));
    SSTab1->setCurrentIndex(0);
    for (int i = 0; i < SSTab1->count(); ++i)
        paint(SSTab1->page(i), QPalette::Window, Face);

    Label4 = label(this, "Label4", QStringLiteral("พัฒนาโดย ทีมงาน Larkspur"));
    paint(Label4, QPalette::WindowText, DarkBlueText);
    place(Label4, 120, 3780, 4215, 255);
    Command1 = button(this, "Command1", QStringLiteral("ออกจากโปรแกรม"));
    place(Command1, 5400, 3720, 1575, 375);

    for (QLabel* bold : {Label1, Label4}) {
        QFont heavy = bold->font();
        heavy.setBold(true);
        bold->setFont(heavy);
        paint(bold, QPalette::Window, Face);
    }
    // The tab row sits in the space the window leaves above the pages' controls.
    Label1->lower();
}

void frmMain::buildBackupPage(QWidget* page)
{
    Label2 = label(page, "Label2", QStringLiteral("สำรองจาก :"));
    place(Label2, 120, 420, 975, 255);
    txtBackupSource = textBox(page, "txtBackupSource", Label2);
    place(txtBackupSource, 1200, 420, 5055, 285);
    cmdSource = folderButton(page, "cmdSource", Label2);
    place(cmdSource, 6360, 420, 375, 255);
    Label3 = label(page, "Label3", QStringLiteral("เก็บไว้ที่ :"));
    place(Label3, 120, 780, 975, 255);
    txtBackupTo = textBox(page, "txtBackupTo", Label3);
    place(txtBackupTo, 1200, 780, 5055, 285);
    cmdDistination = folderButton(page, "cmdDistination", Label3);
    place(cmdDistination, 6360, 780, 375, 255);

    Frame1 = frame(page, "Frame1");
    place(Frame1, 120, 1260, 2895, 1215);
    ChkCompress = checkBox(Frame1, "ChkCompress", QStringLiteral("บีบอัดไฟล์ที่สำรองข้อมูล"));
    place(ChkCompress, 240, 360, 2175, 195);
    ChkOverwirte = checkBox(Frame1, "ChkOverwirte", QStringLiteral("บันทึกทับไฟล์ของเก่าที่มีอยู่เสมอ"));
    place(ChkOverwirte, 240, 720, 2535, 255);

    CmdBackup = button(page, "CmdBackup", QStringLiteral("สำรองข้อมูล"));
    place(CmdBackup, 5520, 1260, 1215, 495);
    CmdBackup->setEnabled(false);
    Line3 = line(page, "Line3");
    Label8 = note(page, "Label8", QStringLiteral("หมายเหตุ : ใช้เพื่อสำรองฐานข้อมูล เผื่อไว้ในกรณีที่ฐานข้อมูลเดิมเสียหาย"));
}

void frmMain::buildRestorePage(QWidget* page)
{
    Label7 = label(page, "Label7", QStringLiteral("ไฟล์ที่สำรองไว้ :"));
    place(Label7, 120, 420, 1215, 255);
    txtBackupfile = textBox(page, "txtBackupfile", Label7);
    place(txtBackupfile, 1320, 420, 4935, 285);
    CmdSelectBackupFile = folderButton(page, "CmdSelectBackupFile", Label7);
    place(CmdSelectBackupFile, 6360, 420, 375, 255);
    Label6 = label(page, "Label6", QStringLiteral("กู้คืนที่ :"));
    place(Label6, 120, 780, 1335, 255);
    txtRestoreTo = textBox(page, "txtRestoreTo", Label6);
    place(txtRestoreTo, 1320, 780, 4935, 285);
    CmdRestoreTo = folderButton(page, "CmdRestoreTo", Label6);
    place(CmdRestoreTo, 6360, 780, 375, 255);

    Frame2 = frame(page, "Frame2");
    place(Frame2, 120, 1320, 2895, 1215);
    ChkResOverwrite = checkBox(Frame2, "ChkResOverwrite", QStringLiteral("บันทึกทับไฟล์ของเก่าที่มีอยู่เสมอ"));
    place(ChkResOverwrite, 240, 360, 2535, 255);

    CmdRestore = button(page, "CmdRestore", QStringLiteral("กู้คืนข้อมูล"));
    place(CmdRestore, 5520, 1260, 1215, 495);
    CmdRestore->setEnabled(false);
    Line2 = line(page, "Line2");
    Label5 = note(page, "Label5", QStringLiteral("หมายเหตุ : ใช้เพื่อกู้คืนฐานข้อมูล โดยนำข้อมูลจากที่สำรองไว้"));
}

void frmMain::buildCompactionPage(QWidget* page)
{
    Label9 = label(page, "Label9", QStringLiteral("ไฟล์ ฐานข้อมูล :"));
    place(Label9, 120, 420, 1215, 255);
    txtCompactFileName = textBox(page, "txtCompactFileName", Label9);
    place(txtCompactFileName, 1320, 420, 4575, 285);
    cmdSelectFile = button(page, "cmdSelectFile", QStringLiteral("..."));
    cmdSelectFile->setAccessibleDescription(Label9->text().trimmed());
    place(cmdSelectFile, 6000, 420, 375, 255);
    Label13 = label(page, "Label13", QStringLiteral("รหัสผ่าน ฐานข้อมูล :  ( เฉพาะกรณีมีรหัส )"));
    Label13->setWordWrap(true);
    place(Label13, 120, 840, 1455, 495);
    TxtPassword = textBox(page, "TxtPassword", Label13);
    TxtPassword->setEchoMode(QLineEdit::Password);
    // The mask shows "*" rather than the style's bullet.
    TxtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    place(TxtPassword, 1560, 840, 1935, 285);
    cmdCompactDatabase = button(page, "cmdCompactDatabase", QStringLiteral("ลดขนาดฐานข้อมูล"));
    place(cmdCompactDatabase, 4800, 1200, 1575, 735);
    cmdCompactDatabase->setEnabled(false);

    Label11 = label(page, "Label11", QStringLiteral("ขนาดไฟล์ เริ่มต้น :"));
    place(Label11, 120, 2160, 1335, 255);
    lblOriginalSize = label(page, "lblOriginalSize", QString());
    place(lblOriginalSize, 1680, 2160, 1455, 255);
    Label12 = label(page, "Label12", QStringLiteral("ขนาดไฟล์หลังลดขนาด :"));
    place(Label12, 120, 2520, 1695, 255);
    lblFinalSize = label(page, "lblFinalSize", QString());
    place(lblFinalSize, 1920, 2520, 1815, 255);
    Line1 = line(page, "Line1");
    Label10 = note(page, "Label10", QStringLiteral("หมายเหตุ : ใช้เพื่อลดขนาดฐานข้อมูล "));
}

void frmMain::connectEvents()
{
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(cmdSource, &QPushButton::clicked, this, &frmMain::cmdSource_Click);
    connect(cmdDistination, &QPushButton::clicked, this, &frmMain::cmdDistination_Click);
    connect(CmdSelectBackupFile, &QPushButton::clicked, this, &frmMain::CmdSelectBackupFile_Click);
    connect(CmdRestoreTo, &QPushButton::clicked, this, &frmMain::CmdRestoreTo_Click);
    connect(CmdBackup, &QPushButton::clicked, this, &frmMain::CmdBackup_Click);
    connect(CmdRestore, &QPushButton::clicked, this, &frmMain::CmdRestore_Click);
    connect(txtBackupSource, &QLineEdit::textChanged, this, &frmMain::BackupBoxes_Change);
    connect(txtBackupTo, &QLineEdit::textChanged, this, &frmMain::BackupBoxes_Change);
    connect(txtBackupfile, &QLineEdit::textChanged, this, &frmMain::RestoreBoxes_Change);
    connect(txtRestoreTo, &QLineEdit::textChanged, this, &frmMain::RestoreBoxes_Change);
    connect(txtCompactFileName, &QLineEdit::textChanged, this, &frmMain::txtCompactFileName_Change);
    connect(cmdSelectFile, &QPushButton::clicked, this, &frmMain::cmdSelectFile_Click);
    connect(cmdCompactDatabase, &QPushButton::clicked, this, &frmMain::cmdCompactDatabase_Click);
}

void frmMain::Form_Load()
{
    const QString toolFolder = m_services.app.folder;
    txtBackupSource->setText(toolFolder);
    txtRestoreTo->setText(txtBackupSource->text() + QLatin1Char('/'));
    BackupFolderName = MakeBackupFolderName();
    txtBackupTo->setText(toolFolder + QStringLiteral("/Backup/") + BackupFolderName + QLatin1Char('/'));
}

QString frmMain::MakeBackupFolderName() const
{
    return BackupRestore::BackupFolderNameAt(m_services.clock());
}

QString frmMain::BrowseForFolder(const QString& startFolder, const QString& prompt)
{
    return ::BrowseForFolder(m_services.folders, startFolder, prompt);
}

QString frmMain::ChooseFolderFrom(const QLineEdit& startBox, const QString& prompt)
{
    return BrowseForFolder(parentOfShownFolder(startBox.text()), prompt);
}

void frmMain::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen* shownOn = screen()) {
        const QRect outer = frameGeometry();
        move(shownOn->availableGeometry().center() - QPoint(outer.width() / 2, outer.height() / 2));
    }
}

void frmMain::keyPressEvent(QKeyEvent* event)
{
    // Escape does not close the tool; only its exit button and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmMain::Command1_Click()
{
    runWindowEvent(m_services.fatal, [this] { close(); });
}

void frmMain::cmdSource_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        const QString chosen = ChooseFolderFrom(*txtBackupSource, ApplicationFolderPrompt);
        if (!chosen.isEmpty())
            txtBackupSource->setText(chosen);
    });
}

void frmMain::cmdDistination_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        const QString chosen = ChooseFolderFrom(*txtBackupTo, BackupFolderPrompt);
        if (chosen.isEmpty())
            return;
        BackupFolderName = MakeBackupFolderName();
        txtBackupTo->setText(chosen + QLatin1Char('/') + BackupFolderName);
    });
}

void frmMain::CmdSelectBackupFile_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        // Opens where the backups are kept: the parent of the backup target.
        const QString chosen = ChooseFolderFrom(*txtBackupTo, BackupFolderPrompt);
        if (!chosen.isEmpty())
            txtBackupfile->setText(chosen + QLatin1Char('/'));
    });
}

void frmMain::CmdRestoreTo_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        const QString chosen = ChooseFolderFrom(*txtRestoreTo, ApplicationFolderPrompt);
        if (!chosen.isEmpty())
            txtRestoreTo->setText(chosen + QLatin1Char('/'));
    });
}

void frmMain::CmdBackup_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        BackupRestore::Backup({m_services.messages, m_services.screen, m_services.files, m_services.fileUi},
                              txtBackupSource->text(), txtBackupTo->text(), ChkOverwirte->isChecked());
    });
}

void frmMain::CmdRestore_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        BackupRestore::Restore({m_services.messages, m_services.screen, m_services.files, m_services.fileUi},
                               txtBackupfile->text(), txtRestoreTo->text(), ChkResOverwrite->isChecked());
    });
}

void frmMain::BackupBoxes_Change()
{
    CmdBackup->setEnabled(!txtBackupSource->text().isEmpty() && !txtBackupTo->text().isEmpty());
}

void frmMain::RestoreBoxes_Change()
{
    CmdRestore->setEnabled(!txtBackupfile->text().isEmpty() && !txtRestoreTo->text().isEmpty());
}

void frmMain::txtCompactFileName_Change()
{
    // Emptying the box again does not disable the button: the compaction then reports the missing file.
    if (!txtCompactFileName->text().isEmpty())
        cmdCompactDatabase->setEnabled(true);
}

ComprimirAccess2000::CompactionPage frmMain::compactionPage() const
{
    return {*txtCompactFileName, *TxtPassword, *lblOriginalSize, *lblFinalSize};
}

void frmMain::cmdSelectFile_Click()
{
    runWindowEvent(m_services.fatal,
                   [this] { ComprimirAccess2000::cmdSelectFile(m_compaction, compactionPage()); });
}

void frmMain::cmdCompactDatabase_Click()
{
    runWindowEvent(m_services.fatal,
                   [this] { ComprimirAccess2000::cmdCompactDatabase(m_compaction, compactionPage()); });
}

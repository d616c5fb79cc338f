#pragma once

#include "maintenance/MaintenanceServices.h"
#include "maintenance/compaction/ComprimirAccess2000.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TabControl;

// The maintenance tool's only window: three pages (backup, restore, compaction), the folder choices that
// fill their boxes, and the rules that enable their action buttons. The actions themselves are the
// backup and restore routines and the compaction module.
class frmMain : public QDialog
{
    Q_OBJECT

public:
    // Building the window runs its load step: the start-up defaults.
    explicit frmMain(MaintenanceServices services, QWidget* parent = nullptr);

    // "DB-" and the time stamp of now, from the services' clock.
    QString MakeBackupFolderName() const;
    // The folder picker, opened with startFolder selected; the empty text when cancelled.
    QString BrowseForFolder(const QString& startFolder, const QString& prompt);

    // The name of the next backup folder: set at load and at each choice of a backup target.
    QString BackupFolderName;

    QLabel* Label1 = nullptr;
    TabControl* SSTab1 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* Command1 = nullptr;

    // Page 1: backup.
    QLabel* Label2 = nullptr;
    QLineEdit* txtBackupSource = nullptr;
    QPushButton* cmdSource = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtBackupTo = nullptr;
    QPushButton* cmdDistination = nullptr;
    QGroupBox* Frame1 = nullptr;
    QCheckBox* ChkCompress = nullptr; // shown, never read: backups are not compressed
    QCheckBox* ChkOverwirte = nullptr;
    QPushButton* CmdBackup = nullptr;
    QFrame* Line3 = nullptr;
    QLabel* Label8 = nullptr;

    // Page 2: restore.
    QLabel* Label7 = nullptr;
    QLineEdit* txtBackupfile = nullptr;
    QPushButton* CmdSelectBackupFile = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txtRestoreTo = nullptr;
    QPushButton* CmdRestoreTo = nullptr;
    QGroupBox* Frame2 = nullptr;
    QCheckBox* ChkResOverwrite = nullptr;
    QPushButton* CmdRestore = nullptr;
    QFrame* Line2 = nullptr;
    QLabel* Label5 = nullptr;

    // Page 3: compaction.
    QLabel* Label9 = nullptr;
    QLineEdit* txtCompactFileName = nullptr;
    QPushButton* cmdSelectFile = nullptr;
    QLabel* Label13 = nullptr;
    QLineEdit* TxtPassword = nullptr;
    QPushButton* cmdCompactDatabase = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* lblOriginalSize = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* lblFinalSize = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* Label10 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private Q_SLOTS:
    void Command1_Click();
    void cmdSource_Click();
    void cmdDistination_Click();
    void CmdSelectBackupFile_Click();
    void CmdRestoreTo_Click();
    void CmdBackup_Click();
    void CmdRestore_Click();
    void BackupBoxes_Change();
    void RestoreBoxes_Change();
    void txtCompactFileName_Change();
    void cmdSelectFile_Click();
    void cmdCompactDatabase_Click();

private:
    void buildWindow();
    void buildBackupPage(QWidget* page);
    void buildRestorePage(QWidget* page);
    void buildCompactionPage(QWidget* page);
    void connectEvents();
    void Form_Load();
    // The picker opened at the parent of the folder a box shows; the empty text when cancelled.
    QString ChooseFolderFrom(const QLineEdit& startBox, const QString& prompt);

    ComprimirAccess2000::CompactionPage compactionPage() const;

    MaintenanceServices m_services;
    ComprimirAccess2000::Module m_compaction; // the compaction module's storage
    bool m_centred = false;
};

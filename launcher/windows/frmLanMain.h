#pragma once

#include "launcher/windows/ConnectionFolderBox.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct LauncherGlobals;
struct DesktopServices;

// Where the master database lives: the folder is kept in the per-user settings and written into
// MCdatalink.udl, which the next start of the launcher opens.
class frmLanMain : public QDialog
{
    Q_OBJECT

public:
    // Building the window runs its load step.
    frmLanMain(LauncherGlobals& globals, const DesktopServices& services, QWidget* parent = nullptr);

    QString BrowseForFolder(const QString& startFolder, const QString& prompt);
    void SaveConnectionSettings();
    bool WriteMasterDataLink();

    QPushButton* cmdBrowse = nullptr;
    QLineEdit* txtBrowse = nullptr;
    QPushButton* cmdTestConnection = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* OKButton = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* ChkStandalone = nullptr;

private Q_SLOTS:
    void ChkStandalone_Click();
    void cmdBrowse_Click();
    void cmdTestConnection_Click();
    void OKButton_Click();

private:
    void buildControls();
    void Form_Load();

    LauncherGlobals& m_globals;
    const DesktopServices& m_services;
    std::unique_ptr<ConnectionFolderBox> m_folderBox;
};

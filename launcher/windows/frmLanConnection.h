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

// Where the company databases live: the data folder under which CompanyData lies, kept in the master
// database and used at once for the companies chosen and deleted afterwards.
class frmLanConnection : public QDialog
{
    Q_OBJECT

public:
    // Building the window runs its load step.
    frmLanConnection(LauncherGlobals& globals, const DesktopServices& services, QWidget* parent = nullptr);

    QString BrowseForFolder(const QString& startFolder, const QString& prompt);

    QLineEdit* txtPath = nullptr;
    QPushButton* btnBrowse = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdTestConnection = nullptr;
    QCheckBox* ChkStandalone = nullptr;
    QCheckBox* CheckUseDefault = nullptr;
    QPushButton* btnSetToDefaultDBPath = nullptr;

private Q_SLOTS:
    void CheckUseDefault_Click();
    void btnSetToDefaultDBPath_Click();
    void ChkStandalone_Click();
    void btnBrowse_Click();
    void cmdTestConnection_Click();
    void btnOK_Click();
    void Command1_Click();

private:
    void buildControls();
    void Form_Load();

    LauncherGlobals& m_globals;
    const DesktopServices& m_services;
    std::unique_ptr<ConnectionFolderBox> m_folderBox;
};

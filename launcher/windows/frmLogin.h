#pragma once

#include <QDialog>
#include <array>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class ILauncherWindows;
struct LauncherGlobals;
struct DesktopServices;

// The launcher's main window: shows the company that will be opened, takes the user name and password
// and starts the accounting application.
class frmLogin : public QDialog
{
    Q_OBJECT

public:
    // Building the window runs its initialisation (which may open the master-location window first).
    frmLogin(LauncherGlobals& globals, const DesktopServices& services, ILauncherWindows& windows,
             QWidget* parent = nullptr);

    // The load step; the window's host runs it once, before the window is first shown.
    void Form_Load();

    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* CmdChooseCompany = nullptr;
    QPushButton* btnConnection = nullptr;
    std::array<QLabel*, 2> lblLabels{};
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblVersionStatus = nullptr;
    QLabel* lblCompanyName = nullptr;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private Q_SLOTS:
    void cmdOK_Click();
    void cmdCancel_Click();
    void CmdChooseCompany_Click();
    void btnConnection_Click();

private:
    void buildControls();
    void Form_Initialize();
    void ShowCompanyState();
    void ChooseCompany();
    // Writes datalink.udl for the company the window shows; false, after telling the user, when that
    // company is gone or its database name is refused.
    bool writeDataLinkForShownCompany();

    LauncherGlobals& m_globals;
    const DesktopServices& m_services;
    ILauncherWindows& m_windows;
};

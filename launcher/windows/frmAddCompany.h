#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
struct LauncherGlobals;
struct DesktopServices;

// Creates a company from the name typed.
class frmAddCompany : public QDialog
{
    Q_OBJECT

public:
    frmAddCompany(LauncherGlobals& globals, const DesktopServices& services, QWidget* parent = nullptr);

    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QLineEdit* txtCompanyName = nullptr;
    QLabel* lblUserName = nullptr;

protected:
    bool event(QEvent* event) override;

private Q_SLOTS:
    void OKButton_Click();

private:
    LauncherGlobals& m_globals;
    const DesktopServices& m_services;
};

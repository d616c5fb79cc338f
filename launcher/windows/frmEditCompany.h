#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class frmChooseCompany;
struct LauncherGlobals;
struct DesktopServices;

// Changes the name and the database file name of the company picked in the open chooser.
class frmEditCompany : public QDialog
{
    Q_OBJECT

public:
    frmEditCompany(LauncherGlobals& globals, const DesktopServices& services, const frmChooseCompany& chooser,
                   QWidget* parent = nullptr);

    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QLineEdit* txtCompanyName = nullptr;
    QLabel* lblUserName = nullptr;
    QLineEdit* txtCompanyID = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtDatabaseName = nullptr;
    QLabel* Label2 = nullptr;

protected:
    bool event(QEvent* event) override;

private Q_SLOTS:
    void OKButton_Click();

private:
    void Form_Load(const frmChooseCompany& chooser);

    LauncherGlobals& m_globals;
    const DesktopServices& m_services;
};

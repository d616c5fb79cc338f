#pragma once

#include <QDialog>
#include <cstdint>

class CompanyGridModel;
class ILauncherWindows;
class QItemSelection;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
struct LauncherGlobals;
struct DesktopServices;

// Lists the companies and lets the operator pick the one the accounting application opens next; adds,
// edits and deletes companies.
class frmChooseCompany : public QDialog
{
    Q_OBJECT

public:
    frmChooseCompany(LauncherGlobals& globals, const DesktopServices& services, ILauncherWindows& windows,
                     QWidget* parent = nullptr);
    ~frmChooseCompany() override;

    std::int16_t GetSelectedCompany() const { return SelectedCompanyID; }
    // Grid rows, the header row included, as the grid counts them.
    int gridRowCount() const;

    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QLineEdit* txtcompanyName = nullptr;
    QLabel* lblUserName = nullptr;
    QPushButton* CmdEditCompany = nullptr;
    QPushButton* CmdAddCompany = nullptr;
    QPushButton* CmdDeleteCompany = nullptr;
    QPushButton* btnConnect = nullptr;
    QTableView* MSHFlexGrid1 = nullptr;

private Q_SLOTS:
    void OKButton_Click();
    void CancelButton_Click();
    void CmdAddCompany_Click();
    void CmdEditCompany_Click();
    void CmdDeleteCompany_Click();
    void btnConnect_Click();
    void MSHFlexGrid1_SelChange();

private:
    void buildControls();
    void Form_Load();
    void FillCompanyGrid();
    void showSelection(std::int16_t id, const QString& name);
    // Whether the picked company may be confirmed; when not, the user has been told why.
    bool pickStillValid();
    // Sends the company's database to the trash; false, after telling the user, when it is still there.
    bool deleteDatabaseFile(std::int16_t companyId);

    LauncherGlobals& m_globals;
    const DesktopServices& m_services;
    ILauncherWindows& m_windows;
    CompanyGridModel* m_grid = nullptr;
    std::int16_t SelectedCompanyID = 0;
    QString SelectedCompanyName;
};

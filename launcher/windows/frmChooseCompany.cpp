#include "launcher/windows/frmChooseCompany.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "engine/Convert.h"
#include "launcher/core/CompanyFields.h"
#include "launcher/core/DataLinks.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/core/SettingsKeys.h"
#include "launcher/windows/CompanyGridModel.h"
#include "launcher/windows/ILauncherWindows.h"
#include "launcher/windows/frmAddCompany.h"
#include "launcher/windows/frmEditCompany.h"
#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/ModalHost.h"
#include "platform/SettingsStore.h"
#include "platform/Twips.h"
#include "platform/WindowEvent.h"
#include "platform/fileop/FileOperation.h"
#include "shared/AppFolder.h"
#include "shared/Common.h"
#include "shared/modFileSys.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
constexpr int NarrowNameColumn = 3230;
constexpr int WideNameColumn = 3500;
const QString ErrorText = QStringLiteral("เกิดข้อผิดพลาด");
const QString DeleteTitle = QStringLiteral("Comfirm Exit");
} // namespace

frmChooseCompany::frmChooseCompany(LauncherGlobals& globals, const DesktopServices& services,
                                   ILauncherWindows& windows, QWidget* parent)
    : QDialog(parent), m_globals(globals), m_services(services), m_windows(windows)
{
    buildControls();
    runWindowEvent(m_services.fatal, [this] { Form_Load(); });
}

frmChooseCompany::~frmChooseCompany() = default;

void frmChooseCompany::buildControls()
{
    setObjectName(QStringLiteral("frmChooseCompany"));
    setWindowTitle(QStringLiteral("# เลือกบริษัทที่ต้องการใช้งาน #"));

    auto makeButton = [this](const QString& name, const QString& caption) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    OKButton = makeButton(QStringLiteral("OKButton"), QStringLiteral("ตกลง"));
    OKButton->setDefault(true);
    CancelButton = makeButton(QStringLiteral("CancelButton"), QStringLiteral("ยกเลิก"));
    CmdEditCompany = makeButton(QStringLiteral("CmdEditCompany"), QStringLiteral("แก้ไขบริษัท"));
    CmdAddCompany = makeButton(QStringLiteral("CmdAddCompany"), QStringLiteral("เพิ่มบริษัท"));
    CmdDeleteCompany = makeButton(QStringLiteral("CmdDeleteCompany"), QStringLiteral("ลบบริษัท"));
    btnConnect = makeButton(QStringLiteral("btnConnect"), QStringLiteral("เลือกเซิร์ฟเวอร์"));

    txtcompanyName = new QLineEdit(this);
    txtcompanyName->setObjectName(QStringLiteral("txtcompanyName"));
    txtcompanyName->setReadOnly(true);
    lblUserName = new QLabel(QStringLiteral("บริษัทที่เลือก"), this);
    lblUserName->setObjectName(QStringLiteral("lblUserName"));
    lblUserName->setBuddy(txtcompanyName);
    txtcompanyName->setAccessibleName(lblUserName->text());

    m_grid = new CompanyGridModel(this);
    MSHFlexGrid1 = new QTableView(this);
    MSHFlexGrid1->setObjectName(QStringLiteral("MSHFlexGrid1"));
    MSHFlexGrid1->setModel(m_grid);
    MSHFlexGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSHFlexGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    MSHFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSHFlexGrid1->setWordWrap(false);
    MSHFlexGrid1->setTextElideMode(Qt::ElideNone);
    MSHFlexGrid1->verticalHeader()->hide();
    MSHFlexGrid1->horizontalHeader()->setStretchLastSection(false);
    MSHFlexGrid1->horizontalHeader()->setMinimumSectionSize(0);
    MSHFlexGrid1->setAccessibleName(QStringLiteral("รายชื่อบริษัท"));
    MSHFlexGrid1->setMinimumSize(Twips::toPixels(4700), Twips::toPixels(2600));
    connect(MSHFlexGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmChooseCompany::MSHFlexGrid1_SelChange);

    auto* picked = new QGridLayout;
    picked->addWidget(lblUserName, 0, 0);
    picked->addWidget(txtcompanyName, 0, 1);

    auto* side = new QVBoxLayout;
    side->addWidget(OKButton);
    side->addWidget(CancelButton);
    side->addSpacing(Twips::toPixels(240));
    side->addWidget(CmdAddCompany);
    side->addWidget(CmdEditCompany);
    side->addWidget(CmdDeleteCompany);
    side->addStretch();
    side->addWidget(btnConnect);

    auto* left = new QVBoxLayout;
    left->addLayout(picked);
    left->addWidget(MSHFlexGrid1, 1);

    auto* whole = new QGridLayout(this);
    whole->addLayout(left, 0, 0);
    whole->addLayout(side, 0, 1);

    setTabOrder(OKButton, CancelButton);
    setTabOrder(CancelButton, txtcompanyName);
    setTabOrder(txtcompanyName, CmdEditCompany);
    setTabOrder(CmdEditCompany, CmdAddCompany);
    setTabOrder(CmdAddCompany, CmdDeleteCompany);
    setTabOrder(CmdDeleteCompany, btnConnect);
    setTabOrder(btnConnect, MSHFlexGrid1);

    connect(OKButton, &QPushButton::clicked, this, &frmChooseCompany::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmChooseCompany::CancelButton_Click);
    connect(CmdAddCompany, &QPushButton::clicked, this, &frmChooseCompany::CmdAddCompany_Click);
    connect(CmdEditCompany, &QPushButton::clicked, this, &frmChooseCompany::CmdEditCompany_Click);
    connect(CmdDeleteCompany, &QPushButton::clicked, this, &frmChooseCompany::CmdDeleteCompany_Click);
    connect(btnConnect, &QPushButton::clicked, this, &frmChooseCompany::btnConnect_Click);
}

int frmChooseCompany::gridRowCount() const
{
    return m_grid->rowCount() + 1;
}

void frmChooseCompany::Form_Load()
{
    if (m_globals.CurrentCompanyID > 0)
        showSelection(m_globals.CurrentCompanyID, m_globals.CurrentCompanyName);
    FillCompanyGrid();
}

void frmChooseCompany::showSelection(std::int16_t id, const QString& name)
{
    SelectedCompanyID = id;
    SelectedCompanyName = name;
    txtcompanyName->setText(name);
}

void frmChooseCompany::FillCompanyGrid()
{
    QHeaderView* header = MSHFlexGrid1->horizontalHeader();
    const int widths[] = {5, 1000, WideNameColumn, 5};
    for (int column = 0; column < 4; ++column)
        header->resizeSection(column, Twips::toPixels(widths[column]));

    // Rows written by other programs may hold nulls or text where a number belongs; they show as text
    // and never stop the fill. An empty table leaves only the header: rows of deleted companies must not
    // stay pickable.
    Recordset companies = MdlDAO::GetCompanyList(m_globals);
    const QSignalBlocker quiet(MSHFlexGrid1->selectionModel());
    m_grid->setCompanies(std::move(companies));
    MSHFlexGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MSHFlexGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header->resizeSection(2, Twips::toPixels(gridRowCount() > 7 ? NarrowNameColumn : WideNameColumn));
}

void frmChooseCompany::MSHFlexGrid1_SelChange()
{
    runWindowEvent(m_services.fatal, [this] {
        const QModelIndexList rows = MSHFlexGrid1->selectionModel()->selectedRows();
        if (rows.isEmpty())
            return;
        const int row = rows.last().row();
        // A row without a valid identifier (none, text, beyond 16 bits) gives nothing to pick.
        if (const auto id = CompanyFields::companyId(m_grid->idText(row)))
            showSelection(*id, m_grid->nameText(row));
    });
}

bool frmChooseCompany::pickStillValid()
{
    const MdlDAO::CompanyDatabase company = MdlDAO::FindCompanyDatabase(m_globals, SelectedCompanyID);
    if (!company.exists) {
        // Another seat deleted it since the grid was filled.
        m_services.messages.show(
            QStringLiteral("The company \"%1\" (%2) no longer exists; another user may have deleted it. "
                           "Nothing was stored: please pick a company again.")
                .arg(SelectedCompanyName)
                .arg(SelectedCompanyID),
            MsgStyle::Exclamation, QString());
        showSelection(0, QString());
        FillCompanyGrid();
        return false;
    }
    if (company.path.isEmpty()) {
        m_services.messages.show(company.problem + QStringLiteral(" Nothing was stored."), MsgStyle::Critical,
                                 QString());
        return false;
    }
    return true;
}

void frmChooseCompany::OKButton_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        // The company is read again first: nothing is stored for one that is gone or whose database
        // name would lead out of its folder.
        if (SelectedCompanyID != 0 && !pickStillValid())
            return;
        m_globals.CurrentCompanyID = SelectedCompanyID;
        m_globals.CurrentCompanyName = SelectedCompanyName;
        // With no company there is no database to name; the file stays as another seat may have
        // written it, and the login window does not start without a company.
        if (SelectedCompanyID != 0)
            DataLinks::WriteCompanyDataLink(m_globals, m_services.app.folder, SelectedCompanyID);
        m_services.settings.save(SettingsKeys::CompanyId, QString::number(m_globals.CurrentCompanyID));
        if (MdlDAO::SetCurrentCompanyID(m_globals, SelectedCompanyID))
            accept();
        else
            m_services.messages.show(ErrorText, MsgStyle::Critical, QString());
    });
}

void frmChooseCompany::CancelButton_Click()
{
    reject();
}

void frmChooseCompany::CmdAddCompany_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        frmAddCompany dialog(m_globals, m_services, this);
        m_services.modal.showModal(dialog);
        FillCompanyGrid();
    });
}

void frmChooseCompany::CmdEditCompany_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        frmEditCompany dialog(m_globals, m_services, *this, this);
        m_services.modal.showModal(dialog);
        FillCompanyGrid();
    });
}

void frmChooseCompany::CmdDeleteCompany_Click()
{
    runWindowEvent(m_services.fatal, [this] {
        if (m_services.messages.show(QStringLiteral("คุณต้องการที่จะลบข้อมูลบริษัทใช่หรือไม่? "),
                                     MsgStyle::YesNoQuestion, DeleteTitle) == MsgResult::Yes) {
            const std::int16_t doomed = SelectedCompanyID;
            const bool withDatabase =
                m_services.messages.show(QStringLiteral("คุณต้องการที่จะลบฐานข้อมูลบริษัทด้วยหรือไม่? "),
                                         MsgStyle::YesNoQuestion, DeleteTitle) == MsgResult::Yes;
            // When its database was to go and could not, the company stays: a row deleted without its
            // file would leave books that nothing lists any more.
            if (!withDatabase || deleteDatabaseFile(doomed)) {
                MdlDAO::DeleteCompany(m_globals, m_services.settings, doomed);
                if (SelectedCompanyID == doomed)
                    showSelection(0, QString());
            }
        }
        FillCompanyGrid();
        m_globals.CurrentCompanyID = MdlDAO::GetCurrentCompanyID(m_globals, m_services.settings);
        if (m_globals.CurrentCompanyID > 0)
            showSelection(m_globals.CurrentCompanyID, m_globals.CurrentCompanyName);
    });
}

bool frmChooseCompany::deleteDatabaseFile(std::int16_t companyId)
{
    const QString databaseName = MdlDAO::GetCompanyDatabaseName(m_globals, companyId);
    // Without a database name the company has no file to lose.
    if (databaseName.isEmpty())
        return true;
    QString file;
    try {
        file = AppFolder::companyDatabasePath(m_globals.DatabasePath, companyId, databaseName);
    } catch (const AppError& error) {
        m_services.messages.show(error.description() + QStringLiteral(" Nothing was deleted."),
                                 MsgStyle::Critical, QString());
        return false;
    }
    // Only a file is ever sent to the trash, never a folder with whatever else it holds; a file that
    // is gone already has nothing left to lose. A failure has shown the file operation's own box.
    if (modFileSys::FolderExists(file)) {
        m_services.messages.show(
            QStringLiteral("%1 is a folder, not a database file. Nothing was deleted.").arg(file),
            MsgStyle::Critical, QString());
        return false;
    }
    if (!modFileSys::FileExists(file))
        return true;
    return Common::ShellDelete(m_services.files, file, true, Fof::NoConfirmation);
}

void frmChooseCompany::btnConnect_Click()
{
    runWindowEvent(m_services.fatal, [this] { m_windows.ShowLanConnection(); });
}

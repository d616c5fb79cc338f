#include "tools/mkappfolder/AppFolderMaker.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "engine/Connection.h"
#include "engine/DataLinkFile.h"
#include "engine/DatabaseFile.h"
#include "engine/Recordset.h"
#include "shared/AppFolder.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QVariant>
#include <utility>
#include <vector>

namespace AppFolderMaker {

namespace {

constexpr int MaxCompanies = 32767; // COMPANY_ID is a 16-bit identifier

[[noreturn]] void fail(const QString& description)
{
    throw AppError(ErrorNumber::Unspecified, description);
}

bool occupied(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink(); // a dangling link is still a name we must not write through
}

// Everything this run creates, so that a failure half-way leaves the folder as it found it: the same
// command can then simply be run again instead of refusing because of a half-made master.
class Undo
{
public:
    Undo() = default;
    Undo(const Undo&) = delete;
    Undo& operator=(const Undo&) = delete;
    ~Undo()
    {
        if (m_kept)
            return;
        for (auto it = m_files.crbegin(); it != m_files.crend(); ++it) {
            QFile::remove(*it + QStringLiteral("-journal"));
            QFile::remove(*it);
        }
        for (auto it = m_folders.crbegin(); it != m_folders.crend(); ++it)
            QDir().rmdir(*it); // only when empty: never takes anything this run did not write
    }

    void file(const QString& path) { m_files.push_back(path); }
    void renamed(const QString& from, const QString& to)
    {
        for (QString& f : m_files)
            if (f == from)
                f = to;
    }
    void folder(const QString& path) { m_folders.push_back(path); }
    void keep() { m_kept = true; }

private:
    std::vector<QString> m_files;
    std::vector<QString> m_folders;
    bool m_kept = false;
};

// mkpath, remembering each level it had to create.
void makeFolder(const QString& path, Undo& undo)
{
    QStringList missing;
    QString current = path;
    while (!QFileInfo(current).exists()) {
        missing.prepend(current);
        const QString parent = QFileInfo(current).path();
        if (parent == current)
            break;
        current = parent;
    }
    for (const QString& level : std::as_const(missing)) {
        if (!QDir().mkdir(level))
            fail(QStringLiteral("The folder %1 could not be created; check that its parent folder exists and "
                                "is writable.")
                     .arg(level));
        undo.folder(level);
    }
    if (!QFileInfo(path).isDir())
        fail(QStringLiteral("%1 is not a folder.").arg(path));
}

Connection& openNew(Connection& db, const QString& path)
{
    db.setCursorLocation(Ado::UseClient);
    db.open(AppFolder::JetConnectionString(path));
    return db;
}

// Values go in through a recordset, as bound values: a name or a folder with an apostrophe can never
// break the statement.
void addRow(Recordset& rs, const std::vector<std::pair<QString, QVariant>>& values)
{
    rs.addNew();
    for (const auto& [name, value] : values)
        rs.setValue(name, value);
    rs.update();
}

struct Account
{
    const char* code;
    const char* nameThai;
    const char* nameEnglish;
    int type; // 1 assets, 2 liabilities, 3 equity, 4 revenue, 5 expenses
    const char* parent;
};

const Account ChartOfAccounts[] = {
    {"1000", "สินทรัพย์", "Assets", 1, ""},
    {"1100", "เงินสด", "Cash on hand", 1, "1000"},
    {"1200", "เงินฝากธนาคาร", "Bank deposits", 1, "1000"},
    {"1300", "ลูกหนี้การค้า", "Trade receivables", 1, "1000"},
    {"1400", "สินค้าคงเหลือ", "Inventory", 1, "1000"},
    {"2000", "หนี้สิน", "Liabilities", 2, ""},
    {"2100", "เจ้าหนี้การค้า", "Trade payables", 2, "2000"},
    {"2200", "ภาษีมูลค่าเพิ่มค้างจ่าย", "VAT payable", 2, "2000"},
    {"3000", "ส่วนของผู้ถือหุ้น", "Equity", 3, ""},
    {"3100", "ทุนจดทะเบียน", "Registered capital", 3, "3000"},
    {"3200", "กำไรสะสม", "Retained earnings", 3, "3000"},
    {"4000", "รายได้", "Revenue", 4, ""},
    {"4100", "รายได้จากการขาย", "Sales", 4, "4000"},
    {"5000", "ค่าใช้จ่าย", "Expenses", 5, ""},
    {"5100", "ต้นทุนขาย", "Cost of sales", 5, "5000"},
    {"5200", "เงินเดือน", "Salaries", 5, "5000"},
    {"5300", "ค่าเช่า", "Rent", 5, "5000"},
};

// An empty book, as the accounting application starts a new company: its chart of accounts, the periods
// of the current year, and journals waiting for their first entry.
void buildTemplate(const QString& path, Undo& undo)
{
    DatabaseFile::create(path, AppFolder::CommonPassword);
    undo.file(path);
    Connection db;
    openNew(db, path);
    db.execute(QStringLiteral("CREATE TABLE Book_Info (Info_Head VARCHAR(50) PRIMARY KEY, Info_Value "
                              "VARCHAR(255))"));
    db.execute(
        QStringLiteral("CREATE TABLE Accounts (ACCOUNT_CODE VARCHAR(20) PRIMARY KEY, ACCOUNT_NAME "
                       "VARCHAR(255), ACCOUNT_NAME_EN VARCHAR(255), ACCOUNT_TYPE SMALLINT, PARENT_CODE "
                       "VARCHAR(20))"));
    db.execute(QStringLiteral("CREATE TABLE Fiscal_Period (PERIOD_NO SMALLINT PRIMARY KEY, START_DATE "
                              "VARCHAR(10), END_DATE VARCHAR(10), IS_CLOSED SMALLINT)"));
    db.execute(
        QStringLiteral("CREATE TABLE Journal (JOURNAL_ID INTEGER PRIMARY KEY, JOURNAL_DATE VARCHAR(10), "
                       "DOCUMENT_NO VARCHAR(20), DESCRIPTION VARCHAR(255))"));
    db.execute(
        QStringLiteral("CREATE TABLE Journal_Line (JOURNAL_ID INTEGER, LINE_NO SMALLINT, ACCOUNT_CODE "
                       "VARCHAR(20), DEBIT DOUBLE, CREDIT DOUBLE, PRIMARY KEY (JOURNAL_ID, LINE_NO))"));

    db.beginTrans();
    {
        Recordset info;
        info.open(QStringLiteral("Book_Info"), db, Ado::OpenDynamic, Ado::LockOptimistic);
        addRow(info, {{QStringLiteral("Info_Head"), QStringLiteral("BookVersion")},
                      {QStringLiteral("Info_Value"), QStringLiteral("1")}});
        addRow(info, {{QStringLiteral("Info_Head"), QStringLiteral("Currency")},
                      {QStringLiteral("Info_Value"), QStringLiteral("THB")}});
        info.close();

        Recordset accounts;
        accounts.open(QStringLiteral("Accounts"), db, Ado::OpenDynamic, Ado::LockOptimistic);
        for (const Account& a : ChartOfAccounts)
            addRow(accounts, {{QStringLiteral("ACCOUNT_CODE"), QString::fromUtf8(a.code)},
                              {QStringLiteral("ACCOUNT_NAME"), QString::fromUtf8(a.nameThai)},
                              {QStringLiteral("ACCOUNT_NAME_EN"), QString::fromUtf8(a.nameEnglish)},
                              {QStringLiteral("ACCOUNT_TYPE"), a.type},
                              {QStringLiteral("PARENT_CODE"), QString::fromUtf8(a.parent)}});
        accounts.close();

        Recordset periods;
        periods.open(QStringLiteral("Fiscal_Period"), db, Ado::OpenDynamic, Ado::LockOptimistic);
        const int year = QDate::currentDate().year();
        for (int month = 1; month <= 12; ++month) {
            const QDate first(year, month, 1);
            addRow(periods,
                   {{QStringLiteral("PERIOD_NO"), month},
                    {QStringLiteral("START_DATE"), first.toString(Qt::ISODate)},
                    {QStringLiteral("END_DATE"), first.addMonths(1).addDays(-1).toString(Qt::ISODate)},
                    {QStringLiteral("IS_CLOSED"), 0}});
        }
        periods.close();
    }
    db.commitTrans();
    db.close();
}

// Thai names mostly, as the customers' companies are; a few English ones, one with an apostrophe.
QString demoCompanyName(int id)
{
    switch (id % 6) {
    case 1:
        return QStringLiteral("บริษัท ตัวอย่าง %1 จำกัด").arg(id);
    case 2:
        return QStringLiteral("ห้างหุ้นส่วนจำกัด ทดลองค้า %1").arg(id);
    case 3:
        return QStringLiteral("Larkspur Demo Trading %1 Co., Ltd.").arg(id);
    case 4:
        return QStringLiteral("บริษัท สยามตัวอย่าง %1 จำกัด (มหาชน)").arg(id);
    case 5:
        return QStringLiteral("O'Brien & Sons %1 Ltd.").arg(id);
    default:
        return QStringLiteral("ร้าน ตัวอย่างการค้า %1").arg(id);
    }
}

void buildMaster(const QString& path, const QString& folder, const Options& options, Undo& undo)
{
    DatabaseFile::create(path, AppFolder::CommonPassword);
    undo.file(path);
    Connection db;
    openNew(db, path);
    if (options.legacyMaster) {
        db.execute(QStringLiteral("CREATE TABLE Company (COMPANY_ID SMALLINT PRIMARY KEY, COMPANY_NAME "
                                  "VARCHAR(255), COMPANY_PATH VARCHAR(255), IS_SELECT SMALLINT, IS_DELETED "
                                  "SMALLINT, DATABASE_NAME VARCHAR(255))"));
        db.execute(
            QStringLiteral("CREATE TABLE Config_Data (Config_Head VARCHAR(50), Config_Value VARCHAR(50))"));
    } else {
        db.execute(QStringLiteral("CREATE TABLE Company (COMPANY_ID SMALLINT PRIMARY KEY, COMPANY_NAME "
                                  "VARCHAR(255), COMPANY_PATH VARCHAR(255), IS_SELECT SMALLINT, IS_DELETED "
                                  "SMALLINT, DATABASE_NAME VARCHAR(255), DATABASE_PATH VARCHAR(255) NOT NULL "
                                  "DEFAULT '')"));
        db.execute(
            QStringLiteral("CREATE TABLE Config_Data (Config_Head VARCHAR(50), Config_Value VARCHAR(255))"));
    }

    // One transaction for every row: thirty thousand companies then cost one journal sync, not thirty
    // thousand.
    db.beginTrans();
    {
        Recordset config;
        config.open(QStringLiteral("Config_Data"), db, Ado::OpenDynamic, Ado::LockOptimistic);
        std::vector<std::pair<QString, QString>> rows{
            {QStringLiteral("CurrentCompany"), QStringLiteral("0")}};
        if (!options.legacyMaster) {
            rows.emplace_back(QStringLiteral("DatabasePath"), folder);
            rows.emplace_back(QStringLiteral("UseDefaultPath"), QStringLiteral("1"));
        }
        for (const auto& [head, value] : rows)
            addRow(config, {{QStringLiteral("Config_Head"), head}, {QStringLiteral("Config_Value"), value}});
        config.close();

        Recordset company;
        company.open(QStringLiteral("Company"), db, Ado::OpenDynamic, Ado::LockOptimistic);
        for (int id = 1; id <= options.companies; ++id) {
            std::vector<std::pair<QString, QVariant>> values{
                {QStringLiteral("COMPANY_ID"), id},
                {QStringLiteral("COMPANY_NAME"), demoCompanyName(id)},
                {QStringLiteral("COMPANY_PATH"), QString()},
                {QStringLiteral("IS_SELECT"), 0},
                {QStringLiteral("IS_DELETED"), 0},
                {QStringLiteral("DATABASE_NAME"),
                 AppFolder::defaultDatabaseName(static_cast<std::int16_t>(id))}};
            if (!options.legacyMaster)
                values.emplace_back(QStringLiteral("DATABASE_PATH"), folder);
            addRow(company, values);
        }
        company.close();
    }
    db.commitTrans();
    db.close();
}

void copyTemplate(const QByteArray& bytes, const QString& target, Undo& undo)
{
    QFile out(target);
    // NewOnly: a file that appeared since the check is refused rather than overwritten.
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        fail(QStringLiteral("The company database %1 could not be created: %2.")
                 .arg(target, out.errorString()));
    undo.file(target);
    if (out.write(bytes) != bytes.size() || !out.flush())
        fail(QStringLiteral("The company database %1 could not be written: %2.")
                 .arg(target, out.errorString()));
    out.close();
}

QString companyFile(const QString& folder, int id)
{
    const auto companyId = static_cast<std::int16_t>(id);
    return AppFolder::companyDatabasePath(folder, companyId, AppFolder::defaultDatabaseName(companyId));
}

} // namespace

void make(const QString& requestedFolder, const Options& options)
{
    if (options.companies < 0 || options.companies > MaxCompanies)
        throw AppError(ErrorNumber::Overflow,
                       QStringLiteral("The number of demo companies must be between 0 and %1; %2 was given.")
                           .arg(MaxCompanies)
                           .arg(options.companies));
    if (requestedFolder.isEmpty())
        fail(QStringLiteral("No folder was given to lay out."));

    // Absolute and without a trailing separator: the data-link file and the DatabasePath row must name
    // the same place whatever the working folder of the program that reads them.
    const QString folder = QDir(requestedFolder).absolutePath();
    const QString master = joinPath({folder, AppFolder::MasterDatabaseName});
    const QString dataLink = joinPath({folder, AppFolder::MasterDataLinkName});
    const QString companyData = AppFolder::companyDataFolder(folder);
    const QString templatePath = AppFolder::templateDatabasePath(folder);

    // Every refusal happens before the first write, so a refused run changes nothing.
    if (occupied(master))
        fail(QStringLiteral("The master database %1 exists already; it is left as it is. Choose an empty "
                            "folder or remove that file first.")
                 .arg(master));
    if (occupied(folder) && !QFileInfo(folder).isDir())
        fail(QStringLiteral("%1 exists and is not a folder.").arg(folder));
    if (occupied(companyData) && !QFileInfo(companyData).isDir())
        fail(QStringLiteral("%1 exists and is not a folder.").arg(companyData));
    if (occupied(templatePath))
        fail(QStringLiteral("The template database %1 exists already; it is left as it is.")
                 .arg(templatePath));
    for (int id = 1; id <= options.companies; ++id)
        if (const QString file = companyFile(folder, id); occupied(file))
            fail(QStringLiteral("The company database %1 exists already; it is left as it is.").arg(file));

    Undo undo;
    makeFolder(folder, undo);
    makeFolder(companyData, undo);

    buildTemplate(templatePath, undo);
    QFile templateFile(templatePath);
    if (!templateFile.open(QIODevice::ReadOnly))
        fail(QStringLiteral("The template database %1 could not be read back: %2.")
                 .arg(templatePath, templateFile.errorString()));
    const QByteArray templateBytes = templateFile.readAll();
    templateFile.close();

    for (int id = 1; id <= options.companies; ++id) {
        makeFolder(AppFolder::companyFolder(folder, static_cast<std::int16_t>(id)), undo);
        copyTemplate(templateBytes, companyFile(folder, id), undo);
    }

    // The master is built under a private name and appears under its own only when complete, so that a
    // run stopped half-way never leaves a master that looks usable (or that makes the next run refuse).
    const QString partial = joinPath(
        {folder, QStringLiteral(".") + AppFolder::MasterDatabaseName + QStringLiteral(".") +
                     QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".partial")});
    QFile::remove(partial);
    buildMaster(partial, folder, options, undo);
    if (!QFile::rename(partial, master)) // never replaces: fails when the master appeared meanwhile
        fail(QStringLiteral("The master database %1 could not be put in place (it may have been created "
                            "meanwhile).")
                 .arg(master));
    undo.renamed(partial, master);

    // Last, since nothing can fail after it: an existing data-link file is replaced, and could not be put
    // back by the undo.
    DataLinkFile::write(dataLink, AppFolder::JetConnectionString(master));
    undo.keep();
}

} // namespace AppFolderMaker

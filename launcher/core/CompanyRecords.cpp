#include "base/AppError.h"
#include "engine/Convert.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/core/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/fileop/FileOperation.h"
#include "shared/AppFolder.h"
#include "shared/Common.h"
#include "shared/modFileSys.h"

namespace MdlDAO {

namespace {

// Takes the next identifier and adds the row inside one write transaction, so that a second launcher on
// the same master waits for it and then takes the identifier after it.
std::int16_t addCompanyRow(LauncherGlobals& globals, const QString& companyName)
{
    Connection& connection = GetConnection(globals);
    connection.beginTrans();
    try {
        const std::int16_t id = Convert::toInt16(
            QVariant(GetNextID(globals, QStringLiteral("COMPANY"), QStringLiteral("COMPANY_ID"), {})));
        Recordset rs;
        rs.open(QStringLiteral("Company"), connection, Ado::OpenDynamic, Ado::LockOptimistic,
                Ado::Unspecified);
        rs.addNew();
        rs.setValue(QStringLiteral("COMPANY_ID"), id);
        rs.setValue(QStringLiteral("COMPANY_NAME"), companyName);
        rs.setValue(QStringLiteral("COMPANY_PATH"), QString());
        rs.setValue(QStringLiteral("IS_SELECT"), 0);
        rs.setValue(QStringLiteral("IS_DELETED"), 0);
        rs.setValue(QStringLiteral("DATABASE_NAME"), AppFolder::defaultDatabaseName(id));
        rs.setValue(QStringLiteral("DATABASE_PATH"), globals.DatabasePath);
        rs.update();
        rs.close();
        connection.commitTrans();
        return id;
    } catch (...) {
        try {
            connection.rollbackTrans();
        } catch (const std::exception&) {
        }
        throw;
    }
}

} // namespace

bool AddCompany(LauncherGlobals& globals, IFileOperation& files, const QString& companyName)
{
    try {
        // Without a template the company would be recorded with no database; nothing is added then.
        if (!modFileSys::FileExists(AppFolder::templateDatabasePath(globals.DatabasePath)))
            return false;
        const std::int16_t id = addCompanyRow(globals, companyName);
        if (!CreateCompanyDatabase(globals, files, id)) {
            GetConnection(globals).execute(QStringLiteral("delete from Company where Company_ID = ") +
                                           QString::number(id));
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CreateCompanyDatabase(LauncherGlobals& globals, IFileOperation& files, std::int16_t companyId)
{
    const QString target = AppFolder::companyDatabasePath(globals.DatabasePath, companyId,
                                                          AppFolder::defaultDatabaseName(companyId));
    return Common::ShellCopy(files, AppFolder::templateDatabasePath(globals.DatabasePath), target,
                             Fof::NoConfirmMkdir);
}

bool UpdateCompany(LauncherGlobals& globals, std::int16_t companyId, const QString& companyName,
                   const QString& companyPath, const QString& databaseName, std::int16_t isSelect,
                   std::int16_t isDeleted)
{
    Q_UNUSED(companyPath) // the folder of a company is never stored from here
    try {
        Recordset rs;
        rs.open(QStringLiteral("select * from Company where Company_ID = ") + QString::number(companyId),
                GetConnection(globals), Ado::OpenKeyset, Ado::LockOptimistic, Ado::Unspecified);
        if (rs.recordCount() >= 1) {
            rs.moveFirst();
            rs.setValue(QStringLiteral("COMPANY_NAME"), companyName);
            rs.setValue(QStringLiteral("IS_SELECT"), isSelect);
            rs.setValue(QStringLiteral("IS_DELETED"), isDeleted);
            rs.setValue(QStringLiteral("DATABASE_NAME"), databaseName);
            rs.update();
        }
        rs.close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool DeleteCompany(LauncherGlobals& globals, ISettingsStore& settings, std::int16_t companyId)
{
    try {
        GetConnection(globals).execute(QStringLiteral("delete from Company where Company_ID = ") +
                                       QString::number(companyId));
        // Both records of the current company forget a deleted one, or the next confirmation would name
        // a company that no longer exists.
        if (GetCurrentCompanyID(globals, settings) == companyId)
            SetCurrentCompanyID(globals, 0);
        if (settings.get(SettingsKeys::CompanyId) == QString::number(companyId))
            settings.save(SettingsKeys::CompanyId, QStringLiteral("0"));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace MdlDAO

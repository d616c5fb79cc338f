#include "base/AppError.h"
#include "engine/Convert.h"
#include "launcher/core/CompanyFields.h"
#include "launcher/core/DataLinks.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/core/NewCompanyFolder.h"
#include "launcher/core/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/fileop/FileOperation.h"
#include "shared/AppFolder.h"
#include "shared/Common.h"
#include "shared/modFileSys.h"

namespace MdlDAO {

namespace {

// The template becomes a company's books, which the accounting application opens with the common
// password; a file that does not open so (not a database, another password, not a regular file) is
// refused before anything is added.
void checkTemplate(const QString& templatePath)
{
    Connection probe;
    probe.open(AppFolder::JetConnectionString(templatePath));
    probe.close();
}

bool companyRowExists(LauncherGlobals& globals, std::int16_t companyId)
{
    Recordset rs = GetCompanyByID(globals, companyId);
    const bool found = rs.recordCount() >= 1;
    rs.close();
    return found;
}

// Adds the row of a company whose database is already in place, in one write transaction. The
// identifier was reserved by its folder; a row that another program gave the same identifier meanwhile
// fails the add rather than sharing the folder.
void addCompanyRow(LauncherGlobals& globals, std::int16_t id, const QString& companyName)
{
    Connection& connection = GetConnection(globals);
    connection.beginTrans();
    try {
        if (companyRowExists(globals, id))
            throw AppError(ErrorNumber::Unspecified,
                           QStringLiteral("The company identifier %1 was taken by another program.").arg(id));
        // Only the new row is wanted: a recordset on the whole table would read every company first.
        Recordset rs;
        rs.open(QStringLiteral("select * from Company where 1 = 0"), connection, Ado::OpenDynamic,
                Ado::LockOptimistic, Ado::Unspecified);
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
    } catch (...) {
        try {
            connection.rollbackTrans();
        } catch (const std::exception&) {
        }
        throw;
    }
}

} // namespace

// The database is copied before the row is added: whenever the program stops, the master lists either
// no new company or one whose database is complete. What an interrupted add leaves in its folder is
// removed by RecoverInterruptedAdds.
bool AddCompany(LauncherGlobals& globals, IFileOperation& files, const QString& companyName)
{
    try {
        RecoverInterruptedAdds(globals);
        const QString templateFile = AppFolder::templateDatabasePath(globals.DatabasePath);
        if (!modFileSys::FileExists(templateFile))
            return false;
        checkTemplate(templateFile);
        const std::int16_t first = Convert::toInt16(
            QVariant(GetNextID(globals, QStringLiteral("COMPANY"), QStringLiteral("COMPANY_ID"), {})));
        NewCompanyFolder folder =
            NewCompanyFolder::reserve(AppFolder::companyDataFolder(globals.DatabasePath), first);
        if (!CreateCompanyDatabase(globals, files, folder.id()))
            return false;
        addCompanyRow(globals, folder.id(), companyName);
        folder.keep();
        return true;
    } catch (const AppError& error) {
        // The dialog's message is one for every failure; the reason goes to standard error.
        qWarning("The company could not be added: %s", qPrintable(error.description()));
        return false;
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

void RecoverInterruptedAdds(LauncherGlobals& globals)
{
    // Nothing here stops a start or an add: what is left is described on standard error, and cleaned up
    // by a later start once it can be.
    try {
        const QStringList problems =
            NewCompanyFolder::recover(AppFolder::companyDataFolder(globals.DatabasePath),
                                      [&](std::int16_t id) { return companyRowExists(globals, id); });
        for (const QString& problem : problems)
            qWarning("%s", qPrintable(problem));
    } catch (const AppError& error) {
        qWarning("Interrupted adds could not be cleaned up: %s", qPrintable(error.description()));
    } catch (const std::exception&) {
    }
}

bool UpdateCompany(LauncherGlobals& globals, std::int16_t companyId, const QString& companyName,
                   const QString& companyPath, const QString& databaseName, std::int16_t isSelect,
                   std::int16_t isDeleted)
{
    Q_UNUSED(companyPath) // the folder of a company is never stored from here
    // A name with a separator or ".." would make the company's books another company's file.
    if (!AppFolder::isPlainFileName(databaseName))
        return false;
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

CompanyDatabase FindCompanyDatabase(LauncherGlobals& globals, std::int16_t companyId)
{
    CompanyDatabase found;
    Recordset rs = GetCompanyByID(globals, companyId);
    if (rs.recordCount() < 1)
        return found;
    rs.moveFirst();
    found.exists = true;
    found.companyName = CompanyFields::text(rs.value(QStringLiteral("Company_Name")));
    const QString databaseName = CompanyFields::text(rs.value(QStringLiteral("DATABASE_NAME")));
    rs.close();
    try {
        found.path = AppFolder::companyDatabasePath(globals.DatabasePath, companyId, databaseName);
    } catch (const AppError& error) {
        found.problem = error.description();
    }
    return found;
}

} // namespace MdlDAO

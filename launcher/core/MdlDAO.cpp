#include "launcher/core/MdlDAO.h"

#include "base/AppError.h"
#include "engine/Convert.h"
#include "launcher/core/CompanyFields.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/SettingsKeys.h"
#include "platform/SettingsStore.h"

#include <limits>

namespace MdlDAO {

namespace {

// Opens a fresh recordset on the master connection, as every routine does for itself.
Recordset openRecordset(LauncherGlobals& globals, const QString& sql, int cursorType = Ado::OpenKeyset,
                        int lockType = Ado::LockOptimistic)
{
    Recordset rs;
    rs.open(sql, GetConnection(globals), cursorType, lockType, Ado::Unspecified);
    return rs;
}

QString readConfigValue(LauncherGlobals& globals, const QString& sql)
{
    Recordset rs = openRecordset(globals, sql);
    QString value;
    if (rs.recordCount() >= 1) {
        rs.moveFirst();
        value = Convert::toText(rs.value(QStringLiteral("Config_value")));
    }
    rs.close();
    return value;
}

// Changes the first row found; writes nothing when there is none. Traps every error.
bool writeConfigValue(LauncherGlobals& globals, const QString& sql, const QString& value)
{
    try {
        Recordset rs = openRecordset(globals, sql);
        if (rs.recordCount() >= 1) {
            rs.moveFirst();
            rs.setValue(QStringLiteral("Config_value"), value);
            rs.update();
        }
        rs.close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

Connection& GetConnection(LauncherGlobals& globals)
{
    if (!globals.MasterConnection.isOpen() && globals.MasterOpenError)
        throw *globals.MasterOpenError;
    return globals.MasterConnection;
}

std::int16_t GetCurrentCompanyID(LauncherGlobals& globals, const ISettingsStore& settings)
{
    const QString setting = settings.get(SettingsKeys::CompanyId);
    if (!setting.isEmpty()) {
        // A setting that is no 16-bit number (edited by hand, or left by another program) would end the
        // program at every start; it counts as absent and the master database decides.
        try {
            return Convert::toInt16(setting);
        } catch (const AppError&) {
        }
    }
    Recordset rs = openRecordset(globals, QStringLiteral("select * from Config_Data where config_head = "
                                                         "'CurrentCompany' "));
    std::int16_t id = 0;
    if (rs.recordCount() >= 1) {
        rs.moveFirst();
        id = Convert::toInt16(rs.value(QStringLiteral("Config_value")));
    }
    rs.close();
    return id;
}

bool SetCurrentCompanyID(LauncherGlobals& globals, std::int16_t companyId)
{
    return writeConfigValue(
        globals, QStringLiteral("select * from Config_data  where Config_Head = 'CurrentCompany' "),
        QString::number(companyId));
}

Recordset GetCompanyByID(LauncherGlobals& globals, std::int16_t companyId)
{
    return openRecordset(globals, QStringLiteral("select * from Company where COMPANY_ID = ") +
                                      QString::number(companyId) + QStringLiteral(" "));
}

QString GetCompanyDatabaseName(LauncherGlobals& globals, std::int16_t companyId)
{
    Recordset rs = GetCompanyByID(globals, companyId);
    QString name;
    if (rs.recordCount() >= 1) {
        rs.moveFirst();
        name = CompanyFields::text(rs.value(QStringLiteral("DATABASE_NAME")));
        rs.close();
    }
    return name;
}

Recordset GetCompanyList(LauncherGlobals& globals)
{
    return openRecordset(globals, QStringLiteral("select * from Company order by COMPANY_ID"));
}

std::int32_t GetNextID(LauncherGlobals& globals, const QString& tableName, const QString& fieldName,
                       const QString& condition)
{
    Recordset rs = openRecordset(globals,
                                 QStringLiteral("select MAX(") + fieldName + QStringLiteral(") from ") +
                                     tableName + condition,
                                 Ado::OpenForwardOnly);
    const QVariant maximum = rs.value(0);
    const std::int32_t highest = maximum.isNull() ? 0 : Convert::toInt32(maximum);
    rs.close();
    if (highest == std::numeric_limits<std::int32_t>::max())
        throw AppError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
    return highest + 1;
}

QString GetDatabasePath(LauncherGlobals& globals)
{
    return readConfigValue(globals,
                           QStringLiteral("select * from Config_Data where config_head = 'DatabasePath' "));
}

bool SetDatabasePath(LauncherGlobals& globals, const QString& folder)
{
    return writeConfigValue(
        globals, QStringLiteral("select * from Config_data  where Config_Head = 'DatabasePath' "), folder);
}

QString GetUseDefaultPath(LauncherGlobals& globals)
{
    return readConfigValue(globals,
                           QStringLiteral("select * from Config_Data where config_head = 'UseDefaultPath' "));
}

bool SetUseDefaultPath(LauncherGlobals& globals, const QString& value)
{
    return writeConfigValue(
        globals, QStringLiteral("select * from Config_data  where Config_Head = 'UseDefaultPath' "), value);
}

bool HasDatabasePathConfig(LauncherGlobals& globals)
{
    try {
        Recordset rs = openRecordset(
            globals, QStringLiteral("select  *  from config_data where config_head = 'DatabasePath' "),
            Ado::Unspecified, Ado::Unspecified);
        const bool found = rs.recordCount() >= 1;
        rs.close();
        return found;
    } catch (const std::exception&) {
        return false;
    }
}

bool ColumnExists(LauncherGlobals& globals, const QString& tableName, const QString& columnName)
{
    try {
        // Compiled, not run: whether the column is there is known from the table's definition, and a
        // start on a master of thousands of companies then reads none of their rows for it.
        GetConnection(globals).compile(QStringLiteral("select  count(") + columnName +
                                       QStringLiteral(") from ") + tableName);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::int16_t GetColumnSize(LauncherGlobals& globals, const QString& tableName, const QString& columnName)
{
    try {
        Recordset rs = openRecordset(
            globals, QStringLiteral("select  top 1 ") + columnName + QStringLiteral(" from ") + tableName,
            Ado::Unspecified, Ado::Unspecified);
        const std::int16_t size = Convert::toInt16(QVariant(rs.definedSize(0)));
        rs.close();
        return size;
    } catch (const std::exception&) {
        return -1;
    }
}

} // namespace MdlDAO

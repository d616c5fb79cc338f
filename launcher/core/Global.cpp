#include "launcher/core/Global.h"

#include "base/UniqueFd.h"
#include "engine/Connection.h"
#include "engine/ConnectionTarget.h"
#include "engine/DatabaseFile.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/core/SettingsKeys.h"
#include "platform/AppInfo.h"
#include "platform/InstanceGuard.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "shared/AppFolder.h"

#include <QFile>
#include <QFileInfo>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Global {

namespace {

// The start-up goes on past any failing step without a word: the login window then shows what it can,
// and the first routine that needs the master database reports why it is missing. The one exception is a
// master that is still a Jet database of the Windows version: that start says how to convert the folder.
template <typename Step> void ignoringErrors(Step&& step)
{
    try {
        step();
    } catch (const std::exception&) {
    }
}

QString displayName(const AppInfo& app)
{
    if (!app.productName.isEmpty())
        return app.productName;
    return QFileInfo(app.fileName).completeBaseName();
}

QString sqlLiteral(QString text)
{
    // An apostrophe in the folder name would end the literal early and break the insert at every start.
    return text.replace(QLatin1Char('\''), QStringLiteral("''"));
}

bool masterIsJetDatabase(const QString& connectionString)
{
    bool jet = false;
    ignoringErrors([&] {
        // Only a regular file is read: a FIFO in the master's place would block the start.
        const UniqueFd fd(::open(QFile::encodeName(ConnectionTarget::of(connectionString).path).constData(),
                                 O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        struct stat status
        {};
        if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
            return;
        QByteArray header(DatabaseFile::JetHeaderSize, '\0');
        const ssize_t got = ::read(fd.get(), header.data(), static_cast<size_t>(header.size()));
        jet = got == header.size() && DatabaseFile::hasJetHeader(header);
    });
    return jet;
}

} // namespace

QString WindowsFolderMessage(const QString& appFolder)
{
    return QStringLiteral(
               "The folder %1 holds the databases of the Windows version, which this version cannot "
               "open. Convert the folder into a new one with:\r\n\r\nvaultkeep import \"%1\" "
               "\"<new folder>\"")
        .arg(appFolder);
}

void Main(LauncherGlobals& globals, const StartupServices& services)
{
    bool anotherRunning = false;
    ignoringErrors([&] { anotherRunning = services.instances.anotherInstanceRunning(); });
    if (anotherRunning) {
        ignoringErrors([&] {
            services.messages.show(displayName(services.app) + QStringLiteral(" is already running!"),
                                   MsgStyle::Exclamation, QStringLiteral("Multiple Instances Forbidden"));
        });
        ignoringErrors([&] { services.login.createAndUnload(); });
        return;
    }
    ignoringErrors([&] { OpenMasterDatabase(globals, services); });
    ignoringErrors([&] { globals.AppVersion = VersionText(services.app); });
    ignoringErrors([&] { services.login.showModeless(); });
}

void OpenMasterDatabase(LauncherGlobals& globals, const StartupServices& services)
{
    const QString appFolder = services.app.folder;
    services.settings.save(SettingsKeys::ServerPath, appFolder);
    services.settings.save(SettingsKeys::Standalone, QStringLiteral("1"));
    globals.ServerPath = appFolder;
    globals.MasterConnection.setCursorLocation(Ado::UseClient);
    globals.MasterConnectionString = AppFolder::MasterDataLinkReference(appFolder);
    try {
        globals.MasterConnection.open(globals.MasterConnectionString, QString(), QString(), Ado::Unspecified);
    } catch (const AppError& error) {
        globals.MasterOpenError = error;
        // A folder copied from a Windows installation still holds Jet databases: the one thing to say is
        // how to convert them, not that a database would not open.
        if (masterIsJetDatabase(globals.MasterConnectionString))
            services.messages.show(WindowsFolderMessage(appFolder), MsgStyle::Exclamation, QString());
        throw;
    }
    UpgradeMasterSchema(globals, appFolder);
    MdlDAO::SetDatabasePath(globals, globals.ServerPath);
    services.settings.save(SettingsKeys::IsFirstStart, globals.ServerPath);
}

void UpgradeMasterSchema(LauncherGlobals& globals, const QString& appFolder)
{
    Connection& connection = MdlDAO::GetConnection(globals);
    if (!MdlDAO::ColumnExists(globals, QStringLiteral("Company"), QStringLiteral("Database_Path"))) {
        connection.execute(
            QStringLiteral("ALTER table Company Add Database_Path Varchar(255)  WITH COMPRESSION "
                           "NOT NULL "),
            Ado::Unspecified);
        connection.execute(QStringLiteral("Update Company set database_path = ''"), Ado::Unspecified);
    }
    // The value column is widened before the folder row is inserted: an older master holds only 50
    // characters, and a longer application folder would otherwise fail the insert at every start.
    if (MdlDAO::GetColumnSize(globals, QStringLiteral("Config_Data"), QStringLiteral("Config_Value")) == 50) {
        connection.execute(QStringLiteral("ALTER table Config_Data  ALTER COLUMN  Config_Value text(255) "),
                           Ado::Unspecified);
    }
    if (!MdlDAO::HasDatabasePathConfig(globals)) {
        connection.execute(QStringLiteral("Insert into config_data(config_head,config_value) "
                                          "values('DatabasePath','") +
                               sqlLiteral(appFolder) + QStringLiteral("') "),
                           Ado::Unspecified);
        connection.execute(QStringLiteral("Insert into config_data(config_head,config_value) "
                                          "values('UseDefaultPath','1') "),
                           Ado::Unspecified);
    }
}

QString VersionText(const AppInfo& app)
{
    return QString::number(app.major) + QLatin1Char('.') + QString::number(app.revision);
}

} // namespace Global

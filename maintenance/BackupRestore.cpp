#include "maintenance/BackupRestore.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "base/SystemError.h"
#include "maintenance/backup/FolderPaths.h"
#include "maintenance/backup/HeldSource.h"
#include "platform/MessageBox.h"
#include "platform/ScreenPointer.h"
#include "platform/ShellPath.h"
#include "shared/AppFolder.h"
#include "shared/Common.h"
#include "shared/modFileSys.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>

namespace BackupRestore {

namespace {

const QString& MasterFileName = AppFolder::MasterDatabaseName;
const QString& CompanyFolderName = AppFolder::CompanyDataFolderName;

// The deepest part of the path that exists, when it is not a folder: what a folder could not be made in.
QString fileInTheWay(const QString& target)
{
    QString level = ShellPath::resolve(QFileInfo(target).absoluteFilePath());
    while (level != QStringLiteral("/") && !QFileInfo(level).exists() && !QFileInfo(level).isSymLink())
        level = QFileInfo(level).path();
    return level;
}

// Made with its parents; raises when it is not a folder afterwards, since the copy's target rule would
// then write the master database as a file of the backup folder's name.
void makeBackupFolder(const QString& target)
{
    int error = 0;
    modFileSys::CreateFolderPath(target, &error);
    if (modFileSys::FolderExists(target))
        return;
    const QFileInfo info(ShellPath::resolve(target));
    const QString why =
        info.exists() ? QStringLiteral("a file of that name is in the way")
        : error == EEXIST
            ? QStringLiteral("a file stands where a folder should be (\"%1\")").arg(fileInTheWay(target))
        : error != 0 ? systemErrorText(error)
                     : QStringLiteral("the folder could not be made");
    throw AppError(ErrorNumber::PathFileAccessError,
                   QStringLiteral("Cannot create the backup folder \"%1\": %2.").arg(target, why));
}

// Puts the normal pointer back however the action ends.
class BusyPointer
{
public:
    explicit BusyPointer(IScreenPointer& screen) : m_screen(screen) { m_screen.setBusy(true); }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    void release()
    {
        if (m_busy)
            m_screen.setBusy(false);
        m_busy = false;
    }

private:
    IScreenPointer& m_screen;
    bool m_busy = true;
};

// What a backup holds: the master database, the company folder or both.
bool holdsBackup(const QString& folder)
{
    return QFileInfo(ShellPath::resolve(joinPath({folder, MasterFileName}))).isFile() ||
           QFileInfo(ShellPath::resolve(joinPath({folder, CompanyFolderName}))).isDir();
}

bool namesBackupPart(const QString& name)
{
    return name.compare(MasterFileName, Qt::CaseInsensitive) == 0 ||
           name.compare(CompanyFolderName, Qt::CaseInsensitive) == 0;
}

// What a restore copies from: a folder typed with or without its trailing separator is that folder; a
// text that names no folder is the start of the names the copy's pattern matches. Anything that holds
// no backup is refused with the reason before a byte is written; an empty text stays empty.
QString backupSource(const QString& backupFolder, QString& refusal)
{
    const QString named = ShellPath::resolve(backupFolder);
    const bool folder = QFileInfo(named).isDir();
    if (backupFolder.endsWith(QLatin1Char('/')) || folder) {
        // A folder that does not exist is left to the copy, which names what it could not find.
        if (folder && !holdsBackup(named))
            refusal =
                QStringLiteral("\"%1\" is not a backup: it holds neither %2 nor %3. Nothing was restored.")
                    .arg(backupFolder, MasterFileName, CompanyFolderName);
        return backupFolder.endsWith(QLatin1Char('/')) ? backupFolder : backupFolder + QLatin1Char('/');
    }
    const QFileInfo typed(QFileInfo(backupFolder).absoluteFilePath());
    const QStringList matched = ShellPath::matchingEntries(ShellPath::resolve(typed.path()),
                                                           typed.fileName() + QStringLiteral("*.*"));
    if (matched.isEmpty())
        refusal = QStringLiteral("No backup was found at \"%1\". Nothing was restored.").arg(backupFolder);
    else if (std::none_of(matched.cbegin(), matched.cend(), namesBackupPart))
        refusal = QStringLiteral("\"%1\" is not a backup: it names neither %2 nor %3. Nothing was restored.")
                      .arg(backupFolder, MasterFileName, CompanyFolderName);
    return backupFolder;
}

QString descriptionOf(const std::exception& error)
{
    if (const auto* app = dynamic_cast<const AppError*>(&error))
        return app->description();
    return QString::fromLocal8Bit(error.what());
}

} // namespace

QString BackupFolderNameAt(const QDateTime& localTime)
{
    return QStringLiteral("DB-") + localTime.toString(QStringLiteral("yyyyMMddHHmmss"));
}

int CopyFlags(bool overwrite)
{
    return overwrite ? (Fof::Silent | Fof::NoConfirmation | Fof::NoConfirmMkdir) : Fof::NoConfirmMkdir;
}

FileOpResult BackupDatabase(IFileOperation& files, const QString& source, const QString& target, int flags)
{
    const QString master = joinPath({source, MasterFileName});
    const QString companies = joinPath({source, CompanyFolderName});
    modFileSys::RequirePath(target);
    // A backup kept inside the folder it copies would change the source and copy itself again next time.
    if (FolderPaths::liesWithin(target, companies))
        throw AppError(ErrorNumber::PathFileAccessError,
                       QStringLiteral("The backup folder \"%1\" lies inside \"%2\", the folder it copies. "
                                      "Choose a backup folder outside it.")
                           .arg(target, companies));
    makeBackupFolder(target);
    // The two copies form one backup: after a failed first one, the second would only hide it.
    if (FileOpResult result = Common::ShellCopyNoCheck(files, master, target, flags); !result.ok)
        return result;
    return Common::ShellCopyNoCheck(files, companies, target, flags);
}

FileOpResult RestoreDatabase(IFileOperation& files, const QString& backupFolder, const QString& restoreTo,
                             int flags)
{
    return Common::ShellCopyNoCheck(files, backupFolder + QStringLiteral("*.*"), restoreTo, flags);
}

Outcome Backup(const ActionServices& services, const QString& source, const QString& target, bool overwrite)
{
    BusyPointer pointer(services.screen);
    if (services.messages.show(QStringLiteral("Do you want to Backup Database ? "), MsgStyle::YesNoQuestion,
                               QStringLiteral("Question")) != MsgResult::Yes)
        return Outcome::Declined;
    bool completed = false;
    try {
        // The databases stay in one committed state from before the copy until it is checked.
        const HeldSource held(source);
        completed = BackupDatabase(services.files, source, target, CopyFlags(overwrite)).ok;
        if (completed) {
            const QString problem = held.verifyCopy(target, AppFolder::CommonPassword);
            if (!problem.isEmpty()) {
                completed = false;
                pointer.release();
                services.messages.show(problem, MsgStyle::OkOnly);
            }
        }
    } catch (const std::exception& error) {
        pointer.release();
        services.messages.show(descriptionOf(error), MsgStyle::OkOnly);
    }
    pointer.release();
    if (completed) {
        services.messages.show(QStringLiteral("Backup Database Completed..."), MsgStyle::Information,
                               QStringLiteral("Information"));
        return Outcome::Completed;
    }
    services.messages.show(QStringLiteral("Backup Database Failed!!!"), MsgStyle::Critical,
                           QStringLiteral("Error"));
    return Outcome::Failed;
}

Outcome Restore(const ActionServices& services, const QString& backupFolder, const QString& restoreTo,
                bool overwrite)
{
    if (services.messages.show(QStringLiteral("Do you want to Restore Database ? "), MsgStyle::YesNoQuestion,
                               QStringLiteral("Question")) != MsgResult::Yes)
        return Outcome::Declined;
    if (backupFolder.isEmpty() || restoreTo.isEmpty()) {
        services.messages.show(
            QStringLiteral("Choose \"Backup file\" And \"Restore To\"  before Restore Database !!!"),
            MsgStyle::Exclamation, QStringLiteral("Error"));
        return Outcome::Failed;
    }
    QString refusal;
    const QString source = backupSource(backupFolder, refusal);
    if (!refusal.isEmpty()) {
        services.messages.show(refusal, MsgStyle::Exclamation, QStringLiteral("Error"));
        return Outcome::Failed;
    }
    try {
        // A failed copy has said why in its own error box; no done message may follow it.
        if (!RestoreDatabase(services.files, source, restoreTo, CopyFlags(overwrite)).ok)
            return Outcome::Failed;
    } catch (const std::exception& error) {
        services.messages.show(descriptionOf(error), MsgStyle::OkOnly);
        return Outcome::Failed;
    }
    services.messages.show(QStringLiteral("Restore Database Completed..."), MsgStyle::Information,
                           QStringLiteral("Information"));
    return Outcome::Completed;
}

} // namespace BackupRestore

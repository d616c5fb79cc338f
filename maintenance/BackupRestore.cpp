#include "maintenance/BackupRestore.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "base/SystemError.h"
#include "maintenance/BackupProgressWindow.h"
#include "maintenance/backup/BackupMaker.h"
#include "maintenance/backup/FolderPaths.h"
#include "platform/MessageBox.h"
#include "platform/ScreenPointer.h"
#include "platform/ShellPath.h"
#include "shared/AppFolder.h"
#include "shared/Common.h"
#include "shared/modFileSys.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

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

[[noreturn]] void cannotMake(const QString& target, const QString& why)
{
    throw AppError(ErrorNumber::PathFileAccessError,
                   QStringLiteral("Cannot create the backup folder \"%1\": %2.").arg(target, why));
}

// The folders above the backup folder, made when missing; raises, naming the backup folder, when they
// cannot be made or written, or when a file stands where the backup folder goes.
void makeParentOf(const QString& target, const QString& folder)
{
    const QString parent = QFileInfo(folder).path();
    int error = 0;
    modFileSys::CreateFolderPath(parent, &error);
    if (!modFileSys::FolderExists(parent)) {
        const QFileInfo info(ShellPath::resolve(parent));
        cannotMake(
            target,
            info.exists()
                ? QStringLiteral("a file stands where a folder should be (\"%1\")").arg(info.filePath())
            : error == EEXIST
                ? QStringLiteral("a file stands where a folder should be (\"%1\")").arg(fileInTheWay(parent))
            : error != 0 ? systemErrorText(error)
                         : QStringLiteral("the folder could not be made"));
    }
    if (::access(QFile::encodeName(parent).constData(), W_OK | X_OK) != 0)
        cannotMake(target, systemErrorText(errno));
    const QFileInfo existing(folder);
    if (existing.isSymLink() || (existing.exists() && !existing.isDir()))
        cannotMake(target, QStringLiteral("a file of that name is in the way"));
}

bool namesBackupPart(const QString& name);

// What an existing backup folder holds, for the decision to replace it as a whole.
enum class Existing
{
    None,       // no such folder, or an empty one: nothing to lose
    Backup,     // the master database, the company folder, the master's journal and nothing else
    OtherFiles, // anything else: never replaced
};

Existing existingAt(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return Existing::None;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (names.isEmpty())
        return Existing::None;
    const QString journal = MasterFileName + QStringLiteral("-journal");
    for (const QString& name : names) {
        if (!namesBackupPart(name) && name.compare(journal, Qt::CaseInsensitive) != 0)
            return Existing::OtherFiles;
    }
    return Existing::Backup;
}

// Puts the normal pointer back however the action ends.
class BusyPointer
{
public:
    explicit BusyPointer(IScreenPointer& screen) : m_screen(screen) { m_screen.setBusy(true); }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    void again()
    {
        if (!m_busy)
            m_screen.setBusy(true);
        m_busy = true;
    }
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
    return overwrite ? (Fof::NoConfirmation | Fof::NoConfirmMkdir) : Fof::NoConfirmMkdir;
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
    QStringList skipped;
    try {
        modFileSys::RequirePath(target);
        const QString companies = joinPath({source, CompanyFolderName});
        // A backup kept inside the folder it copies would change the source and copy itself again next time.
        if (FolderPaths::liesWithin(target, companies))
            throw AppError(
                ErrorNumber::PathFileAccessError,
                QStringLiteral("The backup folder \"%1\" lies inside \"%2\", the folder it copies. "
                               "Choose a backup folder outside it.")
                    .arg(target, companies));
        const QString folder = FolderPaths::withoutTrailingSlash(QFileInfo(target).absoluteFilePath());
        makeParentOf(target, folder);
        BackupMaker::Request request{FolderPaths::withoutTrailingSlash(source), folder, true, 0,
                                     AppFolder::CommonPassword};
        const Existing existing = existingAt(folder);
        if (existing == Existing::OtherFiles)
            throw AppError(
                ErrorNumber::PathFileAccessError,
                QStringLiteral("The backup folder \"%1\" holds other files than a backup. Choose a "
                               "new folder for the backup.")
                    .arg(target));
        if (existing == Existing::Backup && !overwrite) {
            pointer.release();
            const auto answer = services.messages.show(
                QStringLiteral(
                    "The backup folder \"%1\" holds a backup already. Do you want to replace it ? ")
                    .arg(target),
                MsgStyle::YesNoQuestion, QStringLiteral("Question"));
            if (answer != MsgResult::Yes)
                throw BackupCancelled();
            pointer.again();
        }
        BackupProgressWindow progress(services.fileUi, source);
        skipped = BackupMaker::make(request, progress).skipped;
        completed = true;
    } catch (const BackupCancelled&) {
        // The person chose to stop; nothing of the new backup is left, and nothing more needs saying.
    } catch (const std::exception& error) {
        pointer.release();
        services.messages.show(descriptionOf(error), MsgStyle::OkOnly);
    }
    pointer.release();
    if (completed && !skipped.isEmpty())
        services.messages.show(QStringLiteral("Not backed up:\n") + skipped.join(QLatin1Char('\n')),
                               MsgStyle::Exclamation, QStringLiteral("Warning"));
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

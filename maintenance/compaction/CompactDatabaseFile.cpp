#include "maintenance/compaction/ComprimirAccess2000.h"

#include "base/AppError.h"
#include "base/FileLock.h"
#include "engine/CompactDatabase.h"
#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/DatabaseCensus.h"
#include "maintenance/compaction/FileReplacement.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <cerrno>
#include <cstring>
#include <exception>
#include <unistd.h>

namespace ComprimirAccess2000 {

namespace {

const QString PasswordMessage = QStringLiteral("Database Password protected.") + QStringLiteral("\r\n") +
                                QStringLiteral("Please enter the Correct Password");
const QString BiggerMessage = QStringLiteral("The Final File if Bigger than the Original");

[[noreturn]] void fail(const QString& description)
{
    throw AppError(ErrorNumber::Unspecified, description);
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString jetConnectionString(const QString& path, const QString& password)
{
    const QString source =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + ConnectionString::quoteValue(path);
    if (password.isEmpty())
        return source + QStringLiteral(";Jet OLEDB:Engine Type=5");
    return source + QStringLiteral(";Jet OLEDB:") + QStringLiteral("Database Password=") +
           ConnectionString::quoteValue(password) + QStringLiteral(";");
}

// The temporary copy and its journal go whenever the call ends: a copy that was not put in place is of
// no use, and one that was has left this path already.
class TemporaryCopy
{
public:
    explicit TemporaryCopy(QString path) : m_path(std::move(path)) {}
    ~TemporaryCopy() { removeAll(); }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    // Removes a leftover of an earlier call, whatever it is: a link left there (broken or not) goes too,
    // since the copy would otherwise be written wherever it points. Throws when it cannot.
    void removeStale() const
    {
        for (const QString& file : {m_path, m_path + QStringLiteral("-journal"),
                                    m_path + QStringLiteral("-wal"), m_path + QStringLiteral("-shm")}) {
            if (::unlink(QFile::encodeName(file).constData()) != 0 && errno != ENOENT)
                fail(QStringLiteral("The old temporary file '%1' could not be deleted: %2.")
                         .arg(file, reason(errno)));
        }
    }

private:
    void removeAll() const
    {
        for (const QString& suffix :
             {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
            ::unlink(QFile::encodeName(m_path + suffix).constData());
    }
    QString m_path;
};

// One compaction at a time may use the tool's temporary file: another one deleting it while this one
// renames it would put a half-written copy in place of a database.
FileLock lockToolFolder(const QString& folder, const QString& temporary)
{
    FileLock lock;
    const int error = lock.acquire(folder, FileLock::Mode::Exclusive);
    if (error == EWOULDBLOCK)
        fail(QStringLiteral("Another compaction is using '%1'; try again when it has finished.")
                 .arg(temporary));
    if (error != 0)
        fail(QStringLiteral("The temporary file '%1' cannot be used: its folder could not be opened (%2).")
                 .arg(temporary, reason(error)));
    return lock;
}

// Whatever replaces a database as a whole takes its exclusive lock first; a program that has the file
// open holds a shared one.
FileLock lockOriginal(const QString& path)
{
    FileLock lock;
    const int error = lock.acquire(path, FileLock::Mode::Exclusive);
    if (error == ENOENT || error == ENOTDIR)
        fail(QStringLiteral("Could not find file '%1'.").arg(path));
    if (error == EWOULDBLOCK)
        fail(QStringLiteral("The database '%1' is in use by another program.").arg(path));
    if (error != 0)
        fail(QStringLiteral("The database '%1' could not be locked: %2.").arg(path, reason(error)));
    return lock;
}

void requireReplaceable(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(path).isFile() && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
        fail(QStringLiteral("The database '%1' cannot be compacted: the file is read-only for this user.")
                 .arg(path));
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        fail(QStringLiteral("The database '%1' cannot be replaced by its compacted copy: its folder '%2' is "
                            "read-only for this user.")
                 .arg(path, folder));
}

// Before anything is replaced, the copy must open with the password and hold what the original held.
void checkCopy(const QString& copyString, const QString& copyPath, const QString& original,
               const DatabaseCensus& census)
{
    Connection copy;
    copy.open(copyString);
    QString problem = DatabaseCheck::quickCheckProblems(copy);
    if (problem.isEmpty())
        problem = DatabaseCensus::difference(census, DatabaseCensus::take(copy));
    if (!problem.isEmpty())
        fail(QStringLiteral("The compacted copy '%1' did not pass its check (%2). The database '%3' was left "
                            "as it was.")
                 .arg(copyPath, problem, original));
}

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

// The compaction itself; returns whether the original was replaced. Throws AppError.
bool compact(Module& module, const QString& chosenPath, const QString& password)
{
    // The replacement goes to the file a symbolic link points to, and the link stays.
    const QFileInfo chosen(chosenPath);
    const QString path = chosen.isSymLink() ? chosen.canonicalFilePath() : chosenPath;
    // A link to nothing has no canonical path: the message names the link and where it points.
    if (path.isEmpty())
        fail(QStringLiteral("Could not find file '%1': it is a link to '%2', which does not exist.")
                 .arg(chosenPath, chosen.symLinkTarget()));
    const QString temporary = TempDatabase(module);
    const QString sourceString = jetConnectionString(path, password);
    const QString targetString = jetConnectionString(temporary, password);

    const FileLock toolLock = lockToolFolder(module.toolFolder, temporary);
    const FileLock originalLock = lockOriginal(path);
    requireReplaceable(path);
    const qint64 originalSize = fileSize(path);

    TemporaryCopy copy(temporary);
    copy.removeStale();
    QFile::remove(FileReplacement::stagingPath(path));

    const DatabaseCensus census = CompactDatabase(sourceString, targetString, Connection::LockOwner::Caller);
    checkCopy(targetString, temporary, path, census);

    if (fileSize(temporary) > originalSize) {
        module.messages.show(BiggerMessage, MsgStyle::OkOnly);
        return false;
    }
    const QString warning = FileReplacement::replace(temporary, path);
    if (!warning.isEmpty())
        module.messages.show(warning, MsgStyle::Exclamation);
    return true;
}

} // namespace

bool CompactDatabaseFile(Module& module, const QString& path, const QString& password, QWidget* passwordBox)
{
    module.events.processPending();
    bool replaced = false;
    try {
        replaced = compact(module, path, password);
    } catch (const AppError& error) {
        if (error.number() == ErrorNumber::WrongPassword) {
            module.messages.show(PasswordMessage, MsgStyle::OkOnly);
            if (passwordBox != nullptr)
                passwordBox->setFocus();
        } else {
            module.messages.show(error.description(), MsgStyle::Exclamation);
        }
    } catch (const std::exception& error) {
        module.messages.show(QString::fromLocal8Bit(error.what()), MsgStyle::Exclamation);
    }
    module.LastCompactOK = replaced;
    return replaced;
}

} // namespace ComprimirAccess2000

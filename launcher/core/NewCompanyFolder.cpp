#include "launcher/core/NewCompanyFolder.h"

#include "base/AppError.h"
#include "base/PathJoin.h"
#include "base/SystemError.h"
#include "launcher/core/FolderEntries.h"

#include <QFile>
#include <QtGlobal>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray local(const QString& path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void fail(const QString& text)
{
    throw AppError(ErrorNumber::Unspecified, text);
}

// An identifier as a company folder or a marker is named: 1 to 32767 written plainly; 0 for any other name.
int identifier(const QString& name)
{
    bool number = false;
    const int id = name.toInt(&number);
    return number && id >= 1 && id <= 32767 && name == QString::number(id) ? id : 0;
}

// What cleaning up after an add left: nothing (an empty problem), something to try again later (the
// marker then stays), or a folder that is not the add's any more (left alone; the marker may go).
struct Cleanup
{
    QString problem;
    bool tryAgain = false;
};

// Removes only what an add makes in its company's folder: the database copy and its journal and the
// copy's partial files (".N.mdb.XXXXXX"), then the folder when nothing else is left in it. The folder is
// opened without following a link, and every removal is made inside the folder so opened.
Cleanup removeAddedFiles(const QString& companyData, std::int16_t id)
{
    const QString folder = joinPath({companyData, QString::number(id)});
    UniqueFd dir(::open(local(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir) {
        const int error = errno;
        struct stat st
        {};
        if (error == ENOENT)
            return {}; // removed already
        if (::lstat(local(folder).constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return {
                QStringLiteral("The folder %1 of an interrupted add is a symbolic link now; it and what it "
                               "leads to are left as they are.")
                    .arg(folder)};
        if (error == ENOTDIR)
            return {QStringLiteral(
                        "The folder %1 of an interrupted add is not a folder now; it is left as it is.")
                        .arg(folder)};
        return {QStringLiteral("The folder %1 of an interrupted add could not be opened: %2.")
                    .arg(folder, systemErrorText(error)),
                true};
    }
    QStringList names;
    if (const int error = folderEntries(dir.get(), names); error != 0)
        return {QStringLiteral("The folder %1 of an interrupted add could not be read: %2.")
                    .arg(folder, systemErrorText(error)),
                true};
    const QString database = QString::number(id) + QStringLiteral(".mdb");
    const QString partial = QLatin1Char('.') + database + QLatin1Char('.');
    for (const QString& name : names) {
        if (name != database && name != database + QStringLiteral("-journal") && !name.startsWith(partial))
            continue;
        if (::unlinkat(dir.get(), local(name).constData(), 0) != 0 && errno != ENOENT)
            return {QStringLiteral("The file %1 left by an interrupted add could not be removed: %2.")
                        .arg(joinPath({folder, name}), systemErrorText(errno)),
                    true};
    }
    ::rmdir(local(folder).constData()); // refused while anything else is in it
    return {};
}

} // namespace

NewCompanyFolder NewCompanyFolder::reserve(const QString& companyData, int firstId)
{
    std::optional<PendingAdds> pending = PendingAdds::open(companyData, true);
    int reopened = 0;
    for (int id = std::max(firstId, 1); id <= 32767; ++id) {
        UniqueFd marker;
        const int claimed = pending->claim(id, marker);
        if (claimed == EEXIST)
            continue; // another add's, running or killed
        if (claimed == ENOENT && ++reopened <= 8) {
            // Another program removed the folder of adds in progress as empty right after it was opened.
            pending = PendingAdds::open(companyData, true);
            --id;
            continue;
        }
        if (claimed != 0) {
            pending.reset();
            PendingAdds::removeIfEmpty(companyData);
            fail(QStringLiteral("The new company's marker could not be made in %1: %2.")
                     .arg(PendingAdds::folderPath(companyData), systemErrorText(claimed)));
        }
        const QString folder = joinPath({companyData, QString::number(id)});
        int error = 0;
        if (::mkdir(local(folder).constData(), 0777) != 0)
            error = errno;
        else if ((error = PendingAdds::noteFolderMade(marker.get(), id)) != 0)
            ::rmdir(local(folder).constData());
        if (error == 0)
            return NewCompanyFolder(static_cast<std::int16_t>(id), companyData, std::move(*pending),
                                    std::move(marker));
        pending->remove(id);
        marker.reset();
        if (error == EEXIST)
            continue; // kept books, or anything else: never reused
        pending.reset();
        PendingAdds::removeIfEmpty(companyData);
        fail(QStringLiteral("The folder %1 for the new company could not be made: %2.")
                 .arg(folder, systemErrorText(error)));
    }
    pending.reset();
    PendingAdds::removeIfEmpty(companyData);
    throw AppError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
}

NewCompanyFolder::NewCompanyFolder(std::int16_t id, QString companyData, PendingAdds pending, UniqueFd marker)
    : m_id(id), m_companyData(std::move(companyData)), m_path(joinPath({m_companyData, QString::number(id)})),
      m_pending(std::move(pending)), m_marker(std::move(marker))
{}

NewCompanyFolder::~NewCompanyFolder()
{
    if (!m_marker)
        return;
    const Cleanup cleanup = removeAddedFiles(m_companyData, m_id);
    if (!cleanup.problem.isEmpty())
        qWarning("%s", qPrintable(cleanup.problem));
    if (!cleanup.tryAgain) // otherwise the marker stays, so that a later start cleans up again
        m_pending->remove(m_id);
    m_marker.reset();
    m_pending.reset();
    PendingAdds::removeIfEmpty(m_companyData);
}

void NewCompanyFolder::keep()
{
    // Removed before it is unlocked: a marker found unlocked is always an abandoned one.
    m_pending->remove(m_id);
    m_marker.reset();
    m_pending.reset();
    PendingAdds::removeIfEmpty(m_companyData);
}

QStringList NewCompanyFolder::recover(const QString& companyData,
                                      const std::function<bool(std::int16_t)>& isRecorded)
{
    QStringList problems;
    std::optional<PendingAdds> pending;
    QStringList names;
    try {
        pending = PendingAdds::open(companyData, false);
        if (!pending)
            return problems; // no add has run since the last one finished
        names = pending->names();
    } catch (const AppError& error) {
        return {error.description()};
    }
    for (const QString& name : names) {
        const QString marker = joinPath({pending->path(), name});
        if (PendingAdds::isScratch(name)) {
            if (const int error = pending->removeScratch(name); error != 0)
                problems << QStringLiteral("The unfinished marker %1 could not be removed: %2.")
                                .arg(marker, systemErrorText(error));
            continue;
        }
        const int id = identifier(name);
        if (id == 0) {
            problems << QStringLiteral("%1 is no marker of an add; it is left as it is.").arg(marker);
            continue;
        }
        int error = 0;
        const UniqueFd held = pending->lockAbandoned(name, error);
        if (!held) {
            if (error == EINVAL)
                problems << QStringLiteral(
                                "%1 is not a regular file, so no marker of an add; it is left as it "
                                "is.")
                                .arg(marker);
            else if (error != 0)
                problems << QStringLiteral("The marker %1 could not be taken: %2.")
                                .arg(marker, systemErrorText(error));
            continue;
        }
        const int made = PendingAdds::folderMade(held.get());
        // Asked only now, with the marker held: the add it belonged to cannot add its row any more.
        const bool recorded = isRecorded(static_cast<std::int16_t>(id));
        if (made < 0 || (made > 0 && made != id)) {
            problems << QStringLiteral(
                            "The marker %1 names no company folder of its add; no company folder is "
                            "touched for it.")
                            .arg(marker);
        } else if (made == 0 && !recorded) {
            // Killed between making the folder and noting it in the marker: the folder is then empty, and
            // rmdir removes nothing else (a folder holding anything, or a link, stays as it is).
            ::rmdir(local(joinPath({companyData, QString::number(id)})).constData());
        } else if (made == id && !recorded) {
            const Cleanup cleanup = removeAddedFiles(companyData, static_cast<std::int16_t>(id));
            if (!cleanup.problem.isEmpty())
                problems << cleanup.problem;
            if (cleanup.tryAgain)
                continue; // the marker stays, so that a later start tries again
        }
        if (const int removed = pending->remove(id); removed != 0)
            problems << QStringLiteral("The marker %1 could not be removed: %2.")
                            .arg(marker, systemErrorText(removed));
    }
    pending.reset();
    PendingAdds::removeIfEmpty(companyData);
    return problems;
}

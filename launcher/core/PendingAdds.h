#pragma once

#include "base/UniqueFd.h"

#include <QString>
#include <QStringList>
#include <optional>

// The folder of adds in progress, CompanyData/.companydesk-adding: while a company is being added, it
// holds one marker file named by the company's identifier, with a record lock of the add's own open file
// on it. A marker that nobody holds belongs to an add that was killed. Keeping every marker in this one
// folder lets a start look for killed adds by listing it alone, whatever the number of companies; the
// folder exists only while some add runs or some killed add waits to be cleaned up.
//
// Every call works relative to the folder as it was opened (never through a symbolic link), so a folder
// replaced under the program cannot lead a removal elsewhere.
class PendingAdds
{
public:
    static const QString FolderName;
    // The start of the name a new marker has until it is linked to its identifier's name.
    static const QString ScratchPrefix;

    static QString folderPath(const QString& companyData);

    // The folder, made first when make is set. Without make, empty when there is no such folder. Raises a
    // described error when the path is a symbolic link or not a folder, or when it cannot be opened or made.
    static std::optional<PendingAdds> open(const QString& companyData, bool make);
    // Removes the folder when nothing is left in it; anything else leaves it as it is.
    static void removeIfEmpty(const QString& companyData);

    // A new marker for the identifier, locked. 0 with the marker; EEXIST when the identifier has a marker
    // already (another add's, running or killed) or was taken from under this one; otherwise the errno.
    int claim(int id, UniqueFd& marker) const;
    // Whether a name in the folder is a marker still being made (or left by a claim that was killed).
    static bool isScratch(const QString& name);
    // Removes a marker left half made by a killed claim; one that is being made is left alone. 0, or the
    // errno.
    int removeScratch(const QString& name) const;
    // Writes into a held marker that its add has made the company's folder. 0, or the errno.
    static int noteFolderMade(int marker, int id);
    // The identifier whose folder the marker says its add has made: 0 when the marker is empty (its add
    // was stopped before it made one), -1 when it holds anything but an identifier.
    static int folderMade(int marker);
    // The marker of a killed add, locked: invalid when its add still runs or finished meanwhile. error is 0
    // then, or the errno when the marker could not be taken (not a regular file, no access).
    UniqueFd lockAbandoned(const QString& name, int& error) const;
    // Removes a marker the caller holds. 0, or the errno.
    int remove(int id) const;
    // The names in the folder, markers or not. Raises a described error when it cannot be read.
    QStringList names() const;

    const QString& path() const { return m_path; }

private:
    PendingAdds(QString path, UniqueFd fd) : m_path(std::move(path)), m_fd(std::move(fd)) {}

    QString m_path;
    UniqueFd m_fd;
};

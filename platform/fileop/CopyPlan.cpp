#include "platform/fileop/CopyPlan.h"

#include "base/PathJoin.h"
#include "platform/ShellPath.h"

#include <QFileInfo>
#include <QSet>
#include <sys/stat.h>

namespace {

struct Walker
{
    CopyPlan& plan;
    QSet<QPair<dev_t, ino_t>> folderPath; // folders being walked, so a link back up is not followed

    static bool isJournalOfSibling(const QString& folder, const QString& name)
    {
        static const QString suffix = QStringLiteral("-journal");
        if (!name.endsWith(suffix) || name.size() == suffix.size())
            return false;
        return QFileInfo(pathInFolder(folder, name.chopped(suffix.size()))).isFile();
    }

    void addFile(const QString& source, const QString& target)
    {
        CopyPlan::Item item{source, target, false, QFileInfo(source).size(), {}, 0};
        const QFileInfo journal(CopyPlan::journalOf(source));
        if (journal.isFile()) {
            item.journal = journal.filePath();
            item.journalSize = journal.size();
        }
        plan.totalBytes += item.size + item.journalSize;
        plan.items.append(item);
    }

    void addEntry(const QString& source, const QString& target)
    {
        if (!QFileInfo(source).isDir()) {
            addFile(source, target);
            return;
        }
        struct stat st
        {};
        if (::stat(QFile::encodeName(source).constData(), &st) != 0)
            return;
        const QPair<dev_t, ino_t> key(st.st_dev, st.st_ino);
        if (folderPath.contains(key))
            return;
        folderPath.insert(key);
        plan.items.append({source, target, true, 0, {}, 0});
        for (const QString& name : ShellPath::entries(source)) {
            // A journal is copied together with its database, never on its own.
            if (isJournalOfSibling(source, name))
                continue;
            addEntry(pathInFolder(source, name), pathInFolder(target, name));
        }
        folderPath.remove(key);
    }
};

// The folders on the way to path that do not exist yet, outermost first.
QStringList missingFolders(const QString& path)
{
    QStringList missing;
    QString current = path;
    while (!QFileInfo::exists(current) && current != QStringLiteral("/")) {
        missing.prepend(current);
        current = QFileInfo(current).path();
    }
    return missing;
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).path();
}

QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

CopyPlan CopyPlan::make(const QString& source, const QString& target)
{
    CopyPlan plan;
    Walker walker{plan, {}};

    // The pattern, when there is one, is matched in the resolved folder; the rest resolves as a path.
    const QString written = QFileInfo(source).absoluteFilePath();
    const bool pattern = ShellPath::isPattern(nameOf(written));
    QStringList sources;
    if (pattern) {
        const QString folder = ShellPath::resolve(folderOf(written));
        if (!QFileInfo(folder).isDir()) {
            plan.missingSource = folder;
            return plan;
        }
        for (const QString& name : ShellPath::matchingEntries(folder, nameOf(written))) {
            if (!Walker::isJournalOfSibling(folder, name))
                sources.append(pathInFolder(folder, name));
        }
    } else {
        const QString resolved = ShellPath::resolve(written);
        if (!QFileInfo::exists(resolved)) {
            plan.missingSource = resolved;
            return plan;
        }
        sources.append(resolved);
    }

    const QString to = ShellPath::resolve(target);
    const QFileInfo toInfo(to);
    QString intoFolder; // set when the items keep their own names
    if (toInfo.isDir()) {
        intoFolder = to;
    } else if (pattern) {
        if (toInfo.exists()) {
            plan.invalid = QStringLiteral("Cannot copy into \"%1\": it is a file, not a folder.").arg(to);
            return plan;
        }
        plan.foldersToCreate = missingFolders(to);
        intoFolder = to;
    } else {
        plan.foldersToCreate = missingFolders(folderOf(to));
        const QString firstExisting =
            plan.foldersToCreate.isEmpty() ? folderOf(to) : folderOf(plan.foldersToCreate.first());
        if (!QFileInfo(firstExisting).isDir()) {
            plan.invalid = QStringLiteral("Cannot copy to \"%1\": \"%2\" is a file, not a folder.")
                               .arg(to, firstExisting);
            return plan;
        }
        walker.addEntry(sources.first(), to);
    }
    if (!intoFolder.isEmpty()) {
        for (const QString& item : sources)
            walker.addEntry(item, pathInFolder(intoFolder, nameOf(item)));
    }

    for (const Item& item : plan.items) {
        const QString from = QFileInfo(item.source).canonicalFilePath();
        const QString onto = QFileInfo(item.target).canonicalFilePath();
        if (!onto.isEmpty() && from == onto) {
            plan.invalid = QStringLiteral("Cannot copy \"%1\" onto itself.").arg(item.source);
            break;
        }
        if (item.folder && (item.target + QLatin1Char('/')).startsWith(from + QLatin1Char('/'))) {
            plan.invalid = QStringLiteral("Cannot copy the folder \"%1\" into itself.").arg(item.source);
            break;
        }
        const QFileInfo existing(item.target);
        if (existing.exists() && existing.isDir() != item.folder) {
            plan.invalid =
                item.folder
                    ? QStringLiteral("Cannot replace the file \"%1\" with a folder.").arg(item.target)
                    : QStringLiteral("Cannot replace the folder \"%1\" with a file.").arg(item.target);
            break;
        }
    }
    return plan;
}

#include "engine/IntegrityCheck.h"

#include "engine/DatabaseFile.h"
#include "engine/Sqlite.h"

#include <QFile>
#include <QStringList>

namespace IntegrityCheck {

namespace {

constexpr int MostFindingsShown = 3;

QString findings(sqlite3* db, const QString& path)
{
    Sqlite::Statement check(db, QStringLiteral("PRAGMA integrity_check"), path);
    QStringList found;
    while (check.step()) {
        const QString line = check.column(0).toString();
        if (line == QStringLiteral("ok"))
            continue;
        if (found.size() < MostFindingsShown)
            found.append(line);
    }
    return found.join(QStringLiteral("; "));
}

} // namespace

QString problemsOf(const QString& path, const QString& password)
{
    sqlite3* opened = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &opened, SQLITE_OPEN_READONLY, nullptr);
    Sqlite::Database db(opened);
    if (rc != SQLITE_OK)
        return QStringLiteral("'%1' cannot be opened: %2.")
            .arg(path, QString::fromUtf8(opened != nullptr ? sqlite3_errmsg(opened) : sqlite3_errstr(rc)));
    try {
        if (!password.isEmpty() && !DatabaseFile::isUnprotected(path)) {
            const QByteArray key = password.toUtf8();
            sqlite3_key(db.get(), key.constData(), static_cast<int>(key.size()));
        }
        // A wrong key shows only at the first statement; this one reads the schema.
        Sqlite::exec(db.get(), QStringLiteral("SELECT count(*) FROM sqlite_master"), path);
        const QString found = findings(db.get(), path);
        if (found.isEmpty())
            return {};
        return QStringLiteral("'%1' failed the integrity check: %2.").arg(path, found);
    } catch (const AppError& error) {
        return QStringLiteral("'%1' cannot be read as a database: %2").arg(path, error.description());
    }
}

} // namespace IntegrityCheck

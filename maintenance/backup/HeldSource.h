#pragma once

#include "base/UniqueFd.h"
#include "maintenance/backup/DatabaseReadLock.h"

#include <QList>
#include <QString>
#include <memory>

// For a copy of an application folder made by other means (the window's shell copy, with its questions
// and progress): holds every database of the folder in one committed state while the copy is made, then
// checks the copy and writes its manifest, so that the window's backup is as consistent and as verified
// as the command's.
class HeldSource
{
public:
    // Read-locks the master database and every database below the company folder that exists. Writers
    // wait until this object ends. Throws AppError naming a database that cannot be opened or locked.
    explicit HeldSource(QString appFolder);
    ~HeldSource();
    HeldSource(const HeldSource&) = delete;
    HeldSource& operator=(const HeldSource&) = delete;

    // Checks the copy in target while the databases are still held: a journal the copy took from a writer
    // that is still inside its transaction is removed (the database file holds the committed state); each
    // copied file must match its source byte for byte and each database pass the integrity check with the
    // password. Then writes "<target>.sha256". Returns the empty text, or one sentence naming the file.
    QString verifyCopy(const QString& target, const QString& password) const;

private:
    struct Held
    {
        QString relative;
        UniqueFd fd;
        DatabaseReadLock lock;
    };
    QString m_appFolder;
    QList<std::shared_ptr<Held>> m_held;
};

#pragma once

#include "maintenance/BackupRestore.h"
#include "maintenance/MaintenanceServices.h"
#include "platform/AppInfo.h"
#include "platform/doubles/RecordingFatalError.h"
#include "platform/doubles/RecordingScreen.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/doubles/ScriptedPickers.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/support/FolderContents.h"
#include "tests/support/QtPrinters.h"

#include <QDateTime>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace MaintenanceTest {

inline QMap<QString, QByteArray> snapshot(const QString& folder)
{
    return FolderContents::take(folder);
}
using FolderContents::differences;
// A file with its folders.
void writeFile(const QString& path, const QByteArray& bytes);
// The message boxes as "style|title|text" lines, the way the user met them.
QStringList told(const ScriptedMessageBox& messages);
// The part of an application folder a backup holds: the master database and the company folder.
QMap<QString, QByteArray> dataOf(const QString& folder);
// Entries below folder with a hidden name: what a copy writes before it renames into place.
QStringList leftovers(const QString& folder);
// size bytes that differ from one offset to the next.
QByteArray randomBytes(qint64 size);

// The stand-in accounting application started in folder with the database chosen in its datalink.udl,
// holding it open until this object ends.
class RunningLarkspur
{
public:
    RunningLarkspur(const QString& folder, const QString& database, const QString& recordFile);
    ~RunningLarkspur();
    RunningLarkspur(const RunningLarkspur&) = delete;
    RunningLarkspur& operator=(const RunningLarkspur&) = delete;
    // Whether it runs and recorded that it opened database.
    bool holds(const QString& database) const;
    // What it recorded, and what it said on its error stream: for the message of a failed check.
    std::string report();

private:
    QProcess m_process;
    QByteArray m_record;
};

} // namespace MaintenanceTest

// A temporary folder holding an application folder laid out by the folder maker ("app", with three
// companies) and every desktop service replaced by its scripted double. The clock is the fixture's field.
class MaintenanceFixture : public ::testing::Test
{
protected:
    MaintenanceFixture();

    QString path(const QString& relative) const { return root + QLatin1Char('/') + relative; }
    BackupRestore::ActionServices actions() { return {messages, screen, files, fileUi}; }
    // The lines of told() for the standard boxes of the operations.
    static QString backupQuestion();
    static QString backupDone();
    static QString backupFailed();
    static QString restoreQuestion();
    static QString restoreDone();

    // What a child process that runs action was told: its message boxes (as told()) and then the file
    // operation's error boxes as "error box|text". The child answers Yes to every question; it may first
    // drop to an unprivileged user or limit the size of the files it writes (a full disk).
    enum class Child
    {
        Plain,
        Unprivileged,
        FullDisk,
    };
    // A backup of the application folder made by the backup library, as the window makes it.
    void makeBackup(const QString& folder);
    QStringList toldInChild(Child kind,
                            const std::function<void(const BackupRestore::ActionServices&)>& action,
                            qint64 fileSizeLimit = 0);

    QTemporaryDir dir;
    QString root; // the temporary folder, links resolved
    QString appFolder;
    AppInfo app;
    QDateTime now = QDateTime(QDate(2024, 1, 31), QTime(23, 59, 58));
    ScriptedMessageBox messages;
    RecordingFatalError fatal;
    RecordingScreenPointer screen;
    CountingEventPump events;
    ScriptedFolderPicker folders;
    ScriptedFileOpenDialog fileOpen;
    ScriptedFileOperationUi fileUi;
    ShellFileOperation files{fileUi};
    MaintenanceServices services{
        app, messages, fatal, screen, events, folders, fileOpen, files, fileUi, [this] {
            return now;
        }};
};

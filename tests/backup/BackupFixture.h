#pragma once

#include "maintenance/backup/BackupMaker.h"
#include "tests/support/FolderContents.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/QtPrinters.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

// A temporary folder holding an application folder "app" laid out by the folder maker (three companies,
// every database protected with the common password), and ways to run the built vaultkeep on it.
class BackupFixture : public ::testing::Test
{
protected:
    BackupFixture();

    QString path(const QString& relative) const { return root + QLatin1Char('/') + relative; }

    // Runs the built vaultkeep with the arguments, with no display at all: a program that tried to open a
    // window would fail. Standard input is input; the working folder is root.
    static ProgramRun vaultkeep(const QStringList& arguments, const QByteArray& input = {},
                                const QString& workingFolder = {});
    // The same with the vaultkeep program at program.
    static ProgramRun vaultkeepAt(const QString& program, const QStringList& arguments,
                                  const QByteArray& input = {}, const QString& workingFolder = {});
    // The built vaultkeep's folder.
    static QString programFolder();

    // A backup of appFolder into parent/name made by the routine itself; its report.
    BackupMaker::Report backupInto(const QString& parent, const QString& name, int keep = 0) const;

    // The backup part of an application folder: master and company folder, bytes of every file.
    static FolderContents::Contents dataOf(const QString& folder);
    // Entries whose name starts with "." anywhere below folder: what a cut-short run would leave.
    static QStringList hiddenBelow(const QString& folder);

    // Runs body in a forked child (dropped to an unprivileged user, or with its files limited to
    // fileSizeLimit bytes as on a full disk) and returns what it reports: "ok" or the error's text.
    enum class Child
    {
        Unprivileged,
        FullDisk,
    };
    static QString outcomeInChild(Child kind, const std::function<void()>& body, qint64 fileSizeLimit = 0);

    QTemporaryDir dir;
    QString root;
    QString appFolder;
};

#pragma once

#include "base/FileUse.h"
#include "platform/fileop/CopyPlan.h"
#include "platform/fileop/FileOperation.h"
#include "platform/fileop/FilesystemSync.h"

#include <QList>
#include <QPair>
#include <QString>

class IFileOperationUi;

// One copy request carried out: questions, folders, files in chunks with progress, then the sync.
class CopyJob
{
public:
    CopyJob(IFileOperationUi& ui, int flags, qint64 chunkSize);
    FileOpResult run(const QString& source, const QString& target);

private:
    // The first file the plan would replace that another program uses; success when none is.
    FileOpResult firstInUse(const CopyPlan& plan);
    FileOpResult createTargetFolders(const QStringList& folders);
    FileOpResult copyFolder(const CopyPlan::Item& item);
    FileOpResult copyFile(const CopyPlan::Item& item);
    FileOpResult copyData(class FileCopier& copier, const QString& source, const QString& target);
    // Lets events run; false when the user pressed Cancel.
    bool keepGoing(const QString& current);
    void restoreFolderAttributes();

    IFileOperationUi& m_ui;
    int m_flags;
    qint64 m_chunkSize;
    bool m_replaceAll = false;
    qint64 m_done = 0;
    qint64 m_total = 0;
    FilesystemSync m_sync;
    FileUse::OpenFiles m_openElsewhere;          // taken once, before the first file is written
    QList<QPair<QString, QString>> m_newFolders; // (source, target) of folders this copy made
};

#include "platform/fileop/QtFileOperationUi.h"

#include "platform/fileop/FileOperationProgressWindow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>

namespace {

QString describe(const QString& path)
{
    const QFileInfo info(path);
    const QLocale locale;
    return QStringLiteral("%1, %2").arg(locale.formattedDataSize(info.size()),
                                        locale.toString(info.lastModified(), QLocale::ShortFormat));
}

bool askYesNo(QWidget* owner, const QString& objectName, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setObjectName(objectName);
    box.setAccessibleName(title);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

QtFileOperationUi::QtFileOperationUi(QString programTitle, QWidget* parent)
    : m_title(std::move(programTitle)), m_parent(parent)
{}

QtFileOperationUi::~QtFileOperationUi()
{
    delete m_progress.data();
}

QWidget* QtFileOperationUi::owner() const
{
    // Questions and errors sit on top of the progress window while it is there.
    if (m_progress)
        return m_progress.data();
    return m_parent.data();
}

void QtFileOperationUi::progressStarted(const QString& caption, qint64 totalBytes)
{
    delete m_progress.data();
    m_progress = new FileOperationProgressWindow(m_title, caption, totalBytes, m_parent.data());
    m_progress->show();
    QCoreApplication::processEvents();
}

void QtFileOperationUi::progressUpdate(const QString& currentFile, qint64 bytesDone, qint64 totalBytes)
{
    if (m_progress)
        m_progress->setProgress(currentFile, bytesDone, totalBytes);
}

bool QtFileOperationUi::cancelRequested()
{
    // Only the progress window takes input: it is application-modal.
    QCoreApplication::processEvents();
    return m_progress && m_progress->cancelled();
}

void QtFileOperationUi::progressFinished()
{
    delete m_progress.data();
}

ReplaceAnswer QtFileOperationUi::askReplace(const QString& target, const QString& source)
{
    QMessageBox box(QMessageBox::Question, m_title,
                    QStringLiteral("This folder already contains a file named \"%1\".\n\n"
                                   "Do you want to replace the existing file\n    %2\nwith this one?\n    %3")
                        .arg(QFileInfo(target).fileName(), describe(target), describe(source)),
                    QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel,
                    owner());
    box.setObjectName(QStringLiteral("FileOperationReplace"));
    // File and folder names are data: markup in them is shown as it is written.
    box.setTextFormat(Qt::PlainText);
    box.setAccessibleName(QStringLiteral("Confirm file replace"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return ReplaceAnswer::Yes;
    case QMessageBox::YesToAll:
        return ReplaceAnswer::YesToAll;
    case QMessageBox::No:
        return ReplaceAnswer::No;
    default:
        return ReplaceAnswer::Cancel;
    }
}

bool QtFileOperationUi::askDelete(const QString& what, bool toTrash)
{
    const QString text = toTrash
                             ? QStringLiteral("Are you sure you want to move \"%1\" to the trash?").arg(what)
                             : QStringLiteral("Are you sure you want to delete \"%1\" for good?").arg(what);
    return askYesNo(owner(), QStringLiteral("FileOperationDelete"), m_title, text);
}

bool QtFileOperationUi::askCreateFolder(const QString& folder)
{
    return askYesNo(
        owner(), QStringLiteral("FileOperationCreateFolder"), m_title,
        QStringLiteral("The folder \"%1\" does not exist.\n\nDo you want to create it?").arg(folder));
}

void QtFileOperationUi::showError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, m_title, text, QMessageBox::Ok, owner());
    box.setObjectName(QStringLiteral("FileOperationError"));
    box.setTextFormat(Qt::PlainText);
    box.setAccessibleName(QStringLiteral("File operation error"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

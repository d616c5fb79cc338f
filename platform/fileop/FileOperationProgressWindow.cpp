#include "platform/fileop/FileOperationProgressWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The bar counts in thousandths: byte counts of a large copy do not fit its int range.
constexpr int barSteps = 1000;

} // namespace

FileOperationProgressWindow::FileOperationProgressWindow(const QString& title, const QString& caption,
                                                         qint64 totalBytes, QWidget* parent)
    : QDialog(parent), m_file(new QLabel(this)), m_bytes(new QLabel(this)), m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("FileOperationProgress"));
    setWindowTitle(title.isEmpty() ? caption : title + QStringLiteral(" - ") + caption);
    setAccessibleName(caption);
    setWindowModality(Qt::ApplicationModal);
    setMinimumWidth(420);

    m_file->setObjectName(QStringLiteral("lblCurrentFile"));
    m_file->setAccessibleName(QStringLiteral("Current file"));
    m_file->setTextFormat(Qt::PlainText);
    m_file->setWordWrap(true);
    m_bytes->setObjectName(QStringLiteral("lblBytesDone"));
    m_bytes->setAccessibleName(QStringLiteral("Bytes done"));
    m_bar->setObjectName(QStringLiteral("barProgress"));
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setRange(0, barSteps);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->setAccessibleName(QStringLiteral("Cancel"));
    m_cancel->setAutoDefault(false);

    auto* heading = new QLabel(caption + QStringLiteral("..."), this);
    heading->setObjectName(QStringLiteral("lblCaption"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_file);
    layout->addWidget(m_bar);
    layout->addWidget(m_bytes);
    layout->addLayout(buttons);

    connect(m_cancel, &QPushButton::clicked, this, [this] { m_cancelled = true; });
    setProgress(QString(), 0, totalBytes);
}

void FileOperationProgressWindow::setProgress(const QString& currentFile, qint64 bytesDone, qint64 totalBytes)
{
    if (!currentFile.isEmpty())
        m_file->setText(QFileInfo(currentFile).fileName() + QStringLiteral("\nfrom ") +
                        QFileInfo(currentFile).path());
    const QLocale locale;
    m_bytes->setText(QStringLiteral("%1 of %2")
                         .arg(locale.formattedDataSize(bytesDone), locale.formattedDataSize(totalBytes)));
    m_bar->setValue(totalBytes > 0 ? int(bytesDone * barSteps / totalBytes) : barSteps);
}

void FileOperationProgressWindow::reject()
{
    m_cancelled = true;
}

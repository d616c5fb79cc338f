#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress window of a copy: the file being copied, the bytes done of the total, and Cancel. It is
// application-modal but shown without its own event loop: the operation lets events run between chunks,
// and so the rest of the program stays blocked while this window keeps working.
class FileOperationProgressWindow : public QDialog
{
    Q_OBJECT
public:
    FileOperationProgressWindow(const QString& title, const QString& caption, qint64 totalBytes,
                                QWidget* parent = nullptr);

    void setProgress(const QString& currentFile, qint64 bytesDone, qint64 totalBytes);
    bool cancelled() const { return m_cancelled; }

protected:
    // Escape and the window's close button mean Cancel; the window itself stays until the operation ends.
    void reject() override;

private:
    QLabel* m_file;
    QLabel* m_bytes;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    bool m_cancelled = false;
};

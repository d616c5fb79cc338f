#include "launcher/windows/ConnectionFolderBox.h"

#include "launcher/windows/ConnectionTestButton.h"
#include "platform/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <utility>

ConnectionFolderBox::ConnectionFolderBox(IMessageBox& messages, QLineEdit& box, QString startFolder,
                                         QStringList fileBelowFolder)
    : m_messages(messages), m_box(box), m_startFolder(std::move(startFolder)),
      m_fileBelowFolder(std::move(fileBelowFolder))
{}

QString ConnectionFolderBox::absolute(const QString& typed, const QString& startFolder)
{
    if (typed.isEmpty() || typed.startsWith(QLatin1Char('/')))
        return typed;
    QString start = startFolder.isEmpty() ? QDir::currentPath() : startFolder;
    if (!start.endsWith(QLatin1Char('/')))
        start += QLatin1Char('/');
    // Joined, not cleaned: the rest of the text is kept as typed, as an absolute one is.
    return start + typed;
}

bool ConnectionFolderBox::takeAbsolute(QString& folder, qsizetype maxStoredLength)
{
    folder = absolute(m_box.text(), m_startFolder);
    // A data-link file is read line by line, and the settings keep one line per value: a line break
    // would cut the connection string in two.
    if (folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r'))) {
        m_messages.show(LineBreakText, MsgStyle::Exclamation, QString());
        return false;
    }
    QString tested = folder;
    for (const QString& piece : m_fileBelowFolder)
        tested += QLatin1Char('/') + piece;
    const bool tooLongToOpen = QFile::encodeName(tested).size() > MaxDatabasePathBytes;
    const bool tooLongToStore = maxStoredLength >= 0 && folder.size() > maxStoredLength;
    if (tooLongToOpen || tooLongToStore) {
        m_messages.show(TooLongText.arg(folder.size()), MsgStyle::Exclamation, QString());
        return false;
    }
    m_box.setText(folder);
    return true;
}

void ConnectionFolderBox::test()
{
    QString folder;
    if (!m_box.text().isEmpty() && !takeAbsolute(folder, -1))
        return;
    const bool opened = ConnectionTestButton::Click(m_messages, m_box.text(), m_fileBelowFolder);
    m_failedFolder = opened || m_box.text().isEmpty() ? QString() : m_box.text();
}

bool ConnectionFolderBox::readyToStore(qsizetype maxStoredLength)
{
    QString folder;
    if (!takeAbsolute(folder, maxStoredLength))
        return false;
    if (!m_failedFolder.isEmpty() && folder == m_failedFolder &&
        m_messages.show(StoreFailedText, MsgStyle::YesNoQuestion, QString()) != MsgResult::Yes)
        return false;
    return true;
}

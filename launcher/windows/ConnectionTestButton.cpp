#include "launcher/windows/ConnectionTestButton.h"

#include "engine/Connection.h"
#include "launcher/core/DataLinks.h"
#include "platform/MessageBox.h"
#include "platform/ShellPath.h"

#include <QFileInfo>
#include <exception>

namespace ConnectionTestButton {

QString TestedFile(const QString& folder, const QStringList& fileBelowFolder)
{
    QString written = folder;
    for (const QString& piece : fileBelowFolder)
        written += QLatin1Char('/') + piece;
    if (QFileInfo::exists(written))
        return written;
    const QString resolved = ShellPath::resolve(written);
    // A file that is not there either way is named as typed, so that nothing but the case is changed.
    return QFileInfo::exists(resolved) ? resolved : written;
}

QString TestString(const QString& folder, const QStringList& fileBelowFolder)
{
    return DataLinks::TestConnectionString(TestedFile(folder, fileBelowFolder));
}

bool Click(IMessageBox& messages, const QString& folder, const QStringList& fileBelowFolder)
{
    if (folder.isEmpty()) {
        messages.show(EmptyFolderText, MsgStyle::Exclamation, QString());
        return false;
    }
    const QString connectionString = TestString(folder, fileBelowFolder);
    // The test's own error trap: whatever the connection raises is the one failure message.
    try {
        Connection test;
        test.setCursorLocation(Ado::UseClient);
        test.open(connectionString, QString(), QString(), Ado::Unspecified);
        messages.show(SuccessText, MsgStyle::OkOnly, QString());
        test.close();
        return true;
    } catch (const std::exception&) {
        messages.show(FailureText, MsgStyle::OkOnly, QString());
        return false;
    }
}

} // namespace ConnectionTestButton

#include "tests/maintenance/MaintenanceFixture.h"

#include "base/PathJoin.h"
#include "engine/DataLinkFile.h"
#include "maintenance/backup/BackupMaker.h"
#include "shared/AppFolder.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Unprivileged.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace MaintenanceTest {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    Fixtures::writeAll(path, bytes);
}

QStringList told(const ScriptedMessageBox& messages)
{
    QStringList lines;
    for (const ScriptedMessageBox::Call& call : messages.calls())
        lines.append(QStringLiteral("%1|%2|%3").arg(call.style).arg(call.title, call.text));
    return lines;
}

QMap<QString, QByteArray> dataOf(const QString& folder)
{
    QMap<QString, QByteArray> data;
    const auto all = snapshot(folder);
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if (it.key() == QStringLiteral("MCLarkspur.mdb") ||
            it.key().startsWith(QStringLiteral("CompanyData/")))
            data.insert(it.key(), it.value());
    return data;
}

QStringList leftovers(const QString& folder)
{
    QStringList found;
    for (const QString& entry : snapshot(folder).keys())
        if (QFileInfo(entry).fileName().startsWith(QLatin1Char('.')))
            found.append(entry);
    return found;
}

QByteArray randomBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& b : bytes)
        b = char(generator.generate());
    return bytes;
}

RunningLarkspur::RunningLarkspur(const QString& folder, const QString& database, const QString& recordFile)
{
    QString bin = qEnvironmentVariable("COMPANYDESK_BIN_DIR");
    if (bin.isEmpty())
        bin = QCoreApplication::applicationDirPath();
    const QString program = folder + QStringLiteral("/Larkspur.exe");
    QFile::remove(program);
    if (!QFile::copy(bin + QStringLiteral("/Larkspur.exe"), program))
        return;
    DataLinkFile::write(joinPath({folder, AppFolder::CompanyDataLinkName}),
                        AppFolder::JetConnectionString(database));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LARKSPUR_RECORD"), recordFile);
    environment.insert(QStringLiteral("LARKSPUR_HOLD_MS"), QStringLiteral("120000"));
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(folder);
    m_process.start(program, {});
    m_process.waitForStarted(30000);
    // The record is written once the database is open.
    const QDeadlineTimer deadline(30000);
    while (!QFileInfo::exists(recordFile) && !deadline.hasExpired() &&
           m_process.state() != QProcess::NotRunning)
        QThread::msleep(20);
    m_record = Fixtures::readAll(recordFile);
}

RunningLarkspur::~RunningLarkspur()
{
    m_process.kill();
    m_process.waitForFinished(10000);
}

std::string RunningLarkspur::report()
{
    return (m_record + m_process.readAllStandardError()).toStdString();
}

bool RunningLarkspur::holds(const QString& database) const
{
    return m_process.state() == QProcess::Running &&
           m_record.contains(QStringLiteral("database=%1\n").arg(database).toUtf8());
}

} // namespace MaintenanceTest

MaintenanceFixture::MaintenanceFixture()
{
    EXPECT_TRUE(dir.isValid());
    root = QFileInfo(dir.path()).canonicalFilePath();
    appFolder = path(QStringLiteral("app"));
    AppFolderMaker::make(appFolder, {false, 3});
    app.folder = appFolder;
    app.productName = QStringLiteral("vaultkeep");
    app.fileName = QStringLiteral("vaultkeep");
    files.setChunkSize(64 * 1024);
}

QString MaintenanceFixture::backupQuestion()
{
    return QStringLiteral("36|Question|Do you want to Backup Database ? ");
}
QString MaintenanceFixture::backupDone()
{
    return QStringLiteral("64|Information|Backup Database Completed...");
}
QString MaintenanceFixture::backupFailed()
{
    return QStringLiteral("16|Error|Backup Database Failed!!!");
}
QString MaintenanceFixture::restoreQuestion()
{
    return QStringLiteral("36|Question|Do you want to Restore Database ? ");
}
QString MaintenanceFixture::restoreDone()
{
    return QStringLiteral("64|Information|Restore Database Completed...");
}

void MaintenanceFixture::makeBackup(const QString& folder)
{
    NoBackupProgress quiet;
    BackupMaker::make({appFolder, folder, false, 0, AppFolder::CommonPassword}, quiet);
}

QStringList MaintenanceFixture::toldInChild(
    Child kind, const std::function<void(const BackupRestore::ActionServices&)>& action, qint64 fileSizeLimit)
{
    int channel[2];
    if (::pipe(channel) != 0) {
        ADD_FAILURE() << "no pipe";
        return {};
    }
    auto body = [&]() -> int {
        ::close(channel[0]);
        if (kind == Child::FullDisk) {
            // A file may grow only to the limit, as on a full disk; the write then fails with EFBIG.
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
                return 90;
        }
        ScriptedMessageBox childMessages;
        for (int i = 0; i < 4; ++i)
            childMessages.queueAnswer(MsgResult::Yes);
        RecordingScreenPointer childScreen;
        ScriptedFileOperationUi childUi;
        ShellFileOperation childFiles(childUi);
        childFiles.setChunkSize(64 * 1024);
        action({childMessages, childScreen, childFiles, childUi});
        QStringList lines = MaintenanceTest::told(childMessages);
        for (const QString& error : childUi.errors())
            lines.append(QStringLiteral("error box|") + error);
        if (childScreen.busy())
            lines.append(QStringLiteral("pointer left busy"));
        const QByteArray bytes = lines.join(QLatin1Char('\n')).toUtf8();
        return ::write(channel[1], bytes.constData(), size_t(bytes.size())) == bytes.size() ? 0 : 91;
    };
    const int status = kind == Child::Unprivileged ? Unprivileged::run(body) : ChildProcess::run(body);
    ::close(channel[1]);
    QByteArray received;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        received.append(buffer, n);
    ::close(channel[0]);
    EXPECT_EQ(status, 0) << "the child could not run its case";
    return QString::fromUtf8(received).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

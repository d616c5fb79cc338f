#include "tests/backup/BackupFixture.h"

#include "base/AppError.h"
#include "shared/AppFolder.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Unprivileged.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

BackupFixture::BackupFixture()
{
    root = QFileInfo(dir.path()).canonicalFilePath();
    appFolder = path(QStringLiteral("app"));
    AppFolderMaker::make(appFolder, {false, 3});
}

ProgramRun BackupFixture::vaultkeep(const QStringList& arguments, const QByteArray& input,
                                    const QString& workingFolder)
{
    return vaultkeepAt(programFolder() + QStringLiteral("/vaultkeep"), arguments, input, workingFolder);
}

ProgramRun BackupFixture::vaultkeepAt(const QString& program, const QStringList& arguments,
                                      const QByteArray& input, const QString& workingFolder)
{
    // The platform a window would need cannot start here: no display, and no offscreen stand-in.
    return runProgram(program, arguments, workingFolder,
                      {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")},
                       {QStringLiteral("DISPLAY"), QString()},
                       {QStringLiteral("WAYLAND_DISPLAY"), QString()}},
                      input);
}

QString BackupFixture::programFolder()
{
    const QString bin = qEnvironmentVariable("COMPANYDESK_BIN_DIR");
    return bin.isEmpty() ? QCoreApplication::applicationDirPath() : bin;
}

BackupMaker::Report BackupFixture::backupInto(const QString& parent, const QString& name, int keep) const
{
    NoBackupProgress quiet;
    return BackupMaker::make(
        {appFolder, parent + QLatin1Char('/') + name, false, keep, AppFolder::CommonPassword}, quiet);
}

FolderContents::Contents BackupFixture::dataOf(const QString& folder)
{
    FolderContents::Contents data;
    const FolderContents::Contents all = FolderContents::take(folder);
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (it.key() == AppFolder::MasterDatabaseName ||
            it.key().startsWith(AppFolder::CompanyDataFolderName + QLatin1Char('/')))
            data.insert(it.key(), it.value());
    }
    return data;
}

QStringList BackupFixture::hiddenBelow(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().startsWith(QLatin1Char('.')))
            found.append(it.filePath());
    }
    return found;
}

QString BackupFixture::outcomeInChild(Child kind, const std::function<void()>& body, qint64 fileSizeLimit)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return QStringLiteral("no pipe");
    auto child = [&]() -> int {
        ::close(channel[0]);
        if (kind == Child::FullDisk) {
            // A file may grow only to the limit, as on a full disk; the write then fails with EFBIG.
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
                return 90;
        }
        QByteArray text = "ok";
        try {
            body();
        } catch (const AppError& error) {
            text = error.description().toUtf8();
        }
        return ::write(channel[1], text.constData(), size_t(text.size())) == text.size() ? 0 : 91;
    };
    const int status = kind == Child::Unprivileged ? Unprivileged::run(child) : ChildProcess::run(child);
    ::close(channel[1]);
    QByteArray told;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        told.append(buffer, got);
    ::close(channel[0]);
    if (status != 0)
        return QStringLiteral("child status %1: %2").arg(status).arg(QString::fromUtf8(told));
    return QString::fromUtf8(told);
}

#include "platform/PosixProgramStarter.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

// Sets PATH for one test and puts the old one back.
class PathOverride
{
public:
    explicit PathOverride(const QString& path) : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", path.toLocal8Bit());
    }
    ~PathOverride() { qputenv("PATH", m_saved); }

private:
    QByteArray m_saved;
};

void writeFile(const QString& path, const QByteArray& content, QFile::Permissions permissions)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
    file.close();
    ASSERT_TRUE(file.setPermissions(permissions));
}

const QFile::Permissions Executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
const QFile::Permissions NotExecutable =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
const QFile::Permissions OwnerOnlyExecutable = NotExecutable | QFile::ExeOwner;

// A program that records what it was started with: its pid, working folder and arguments, one a line,
// written beside it and renamed into place so that a reader never sees half of it.
QByteArray recorderScript(const QString& record)
{
    const QByteArray target = QFile::encodeName(record);
    return "#!/bin/sh\n"
           "{ echo $$; pwd -P; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > '" +
           target + ".part'\nmv '" + target + ".part' '" + target + "'\n";
}

struct Record
{
    qint64 pid = 0;
    QString folder;
    QStringList arguments;
};

Record waitForRecord(const QString& path)
{
    Record record;
    if (!PlatformTest::waitUntil([&] { return QFile::exists(path); }))
        return record;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return record;
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    record.pid = lines.value(0).toLongLong();
    record.folder = lines.value(1);
    for (qsizetype i = 2; i < lines.size(); ++i)
        record.arguments.append(lines[i].mid(1, lines[i].size() - 2));
    return record;
}

// The children of this process, from every thread's list.
QStringList ownChildren()
{
    QStringList children;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/children"));
        if (file.open(QIODevice::ReadOnly))
            children += QString::fromLatin1(file.readAll()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return children;
}

class PosixProgramStarterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        app = root.filePath(QStringLiteral("App Folder"));
        ASSERT_TRUE(QDir().mkpath(app));
        record = root.filePath(QStringLiteral("record.txt"));
        writeFile(app + QStringLiteral("/Larkspur.exe"), recorderScript(record), Executable);
    }

    QTemporaryDir root;
    QString app;
    QString record;
    PosixProgramStarter starter;
};

TEST_F(PosixProgramStarterTest, StartsTheProgramInItsFolderWithTheSplitArguments)
{
    struct Case
    {
        QString file;
        QString parameters;
        QString directory; // relative to the temporary folder
        QStringList arguments;
    };
    const Case cases[] = {
        {QStringLiteral("Larkspur.exe"),
         QStringLiteral("user pass"),
         QStringLiteral("App Folder/"),
         {QStringLiteral("user"), QStringLiteral("pass")}},
        {QStringLiteral("Larkspur.exe"), QString(), QStringLiteral("App Folder"), {}},
        {QStringLiteral("Larkspur.exe"),
         QStringLiteral("a  b"),
         QStringLiteral("App Folder"),
         {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("Larkspur.exe"),
         QStringLiteral("\"john smith\" \"pass word\""),
         QStringLiteral("App Folder"),
         {QStringLiteral("john smith"), QStringLiteral("pass word")}},
        {QStringLiteral("Larkspur.exe"),
         QStringLiteral("ผู้ใช้ รหัส"),
         QStringLiteral("App Folder"),
         {QStringLiteral("ผู้ใช้"), QStringLiteral("รหัส")}},
        // Names written for a filesystem that ignores case.
        {QStringLiteral("larkspur.EXE"),
         QStringLiteral("u p"),
         QStringLiteral("app folder/"),
         {QStringLiteral("u"), QStringLiteral("p")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString() + " " + c.parameters.toStdString());
        QFile::remove(record);
        EXPECT_EQ(starter.start(c.file, c.parameters, root.filePath(c.directory), 1), ShellCode::Success);
        const Record seen = waitForRecord(record);
        EXPECT_EQ(seen.folder, QFileInfo(app).canonicalFilePath());
        EXPECT_EQ(seen.arguments, c.arguments);
        // Started detached: the program is not a child of the launcher, so it never lingers as a zombie.
        EXPECT_GT(seen.pid, 0);
        EXPECT_FALSE(ownChildren().contains(QString::number(seen.pid)));
    }
}

TEST_F(PosixProgramStarterTest, AFullPathIsUsedAsItIs)
{
    EXPECT_EQ(starter.start(app + QStringLiteral("/Larkspur.exe"), QStringLiteral("x"), root.path(), 1),
              ShellCode::Success);
    const Record seen = waitForRecord(record);
    EXPECT_EQ(seen.folder, QFileInfo(root.path()).canonicalFilePath());
    EXPECT_EQ(seen.arguments, QStringList{QStringLiteral("x")});
}

TEST_F(PosixProgramStarterTest, FailuresGiveTheShellsCodes)
{
    writeFile(app + QStringLiteral("/NoExecBit.exe"), "#!/bin/sh\nexit 0\n", NotExecutable);
    writeFile(app + QStringLiteral("/Garbage.exe"), QByteArray("\x01\x02garbage bytes, no program\n"),
              Executable);
    writeFile(app + QStringLiteral("/Windows.exe"), QByteArray("MZ\x90\x00\x03\x00", 6), Executable);
    writeFile(app + QStringLiteral("/Missing interpreter"), "#!/nonexistent/shell\n", Executable);
    struct Case
    {
        QString file;
        QString directory;
        int code;
    };
    const Case cases[] = {
        {QStringLiteral("Missing.exe"), app, ShellCode::FileNotFound},
        {QStringLiteral("Larkspur.exe"), root.filePath(QStringLiteral("No Such Folder")),
         ShellCode::PathNotFound},
        {QStringLiteral("Larkspur.exe"), root.filePath(QStringLiteral("No Such Folder/")),
         ShellCode::PathNotFound},
        {QStringLiteral("sub/Larkspur.exe"), app, ShellCode::PathNotFound},
        {QString(), app, ShellCode::FileNotFound},
        // Even root needs an execute bit somewhere.
        {QStringLiteral("NoExecBit.exe"), app, ShellCode::AccessDenied},
        // Neither ELF nor "#!": exec says ENOEXEC.
        {QStringLiteral("Garbage.exe"), app, ShellCode::BadFormat},
        {QStringLiteral("Missing interpreter"), app, ShellCode::FileNotFound},
        // A folder is no program.
        {QStringLiteral("."), app, ShellCode::AccessDenied},
    };
    for (const Case& c : cases)
        EXPECT_EQ(starter.start(c.file, QStringLiteral("a b"), c.directory, 1), c.code)
            << c.file.toStdString();
    EXPECT_FALSE(QFile::exists(record));
}

TEST_F(PosixProgramStarterTest, AWindowsProgramNeedsWine)
{
    const QByteArray peHeader("MZ\x90\x00\x03\x00\x00\x00", 8);
    writeFile(app + QStringLiteral("/Accounts.exe"), peHeader, Executable);
    const QString bin = root.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    {
        const PathOverride noWine(bin);
        EXPECT_EQ(starter.start(QStringLiteral("accounts.exe"), QStringLiteral("u p"), app, 1),
                  ShellCode::NoAssociation);
    }
    // A stand-in for wine that records how it was asked to run the program.
    writeFile(bin + QStringLiteral("/wine"), recorderScript(record), Executable);
    const PathOverride withWine(bin + QStringLiteral(":/usr/bin:/bin"));
    EXPECT_EQ(
        starter.start(QStringLiteral("accounts.exe"), QStringLiteral("u \"p q\""), app + QLatin1Char('/'), 1),
        ShellCode::Success);
    const Record seen = waitForRecord(record);
    EXPECT_EQ(seen.folder, QFileInfo(app).canonicalFilePath());
    EXPECT_EQ(seen.arguments, (QStringList{app + QStringLiteral("/Accounts.exe"), QStringLiteral("u"),
                                           QStringLiteral("p q")}));
}

TEST_F(PosixProgramStarterTest, AProgramTheUserMayNotRunIsAccessDenied)
{
    // Executable for its owner (root) only.
    writeFile(app + QStringLiteral("/OwnerOnly.exe"), recorderScript(record), OwnerOnlyExecutable);
    Unprivileged::makeReachable(app);
    const QString folder = app;
    const int code = Unprivileged::run([folder] {
        PosixProgramStarter unprivileged;
        return unprivileged.start(QStringLiteral("OwnerOnly.exe"), QStringLiteral("a"), folder, 1);
    });
    EXPECT_EQ(code, ShellCode::AccessDenied);
    EXPECT_FALSE(QFile::exists(record));
    // The same file runs for its owner.
    EXPECT_EQ(starter.start(QStringLiteral("OwnerOnly.exe"), QString(), app, 1), ShellCode::Success);
    EXPECT_EQ(waitForRecord(record).folder, QFileInfo(app).canonicalFilePath());
}

TEST(PosixProgramStarterErrno, MapsOntoTheShellsCodes)
{
    struct Case
    {
        int error;
        bool changingFolder;
        int code;
    };
    const Case cases[] = {
        {ENOENT, false, ShellCode::FileNotFound},  {ENOENT, true, ShellCode::PathNotFound},
        {ENOTDIR, false, ShellCode::PathNotFound}, {EACCES, false, ShellCode::AccessDenied},
        {EACCES, true, ShellCode::AccessDenied},   {EPERM, false, ShellCode::AccessDenied},
        {ENOMEM, false, ShellCode::OutOfMemory},   {ENOEXEC, false, ShellCode::BadFormat},
        {E2BIG, false, ShellCode::OtherFailure},   {ETXTBSY, false, ShellCode::OtherFailure},
        {EIO, false, ShellCode::OtherFailure},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PosixProgramStarter::shellCodeForErrno(c.error, c.changingFolder), c.code) << c.error;
}

} // namespace

#include "tests/jetimport/JetImportFixture.h"

#include "base/AppError.h"
#include "engine/Connection.h"
#include "engine/DataLinkFile.h"
#include "engine/DatabaseFile.h"
#include "engine/Recordset.h"
#include "maintenance/jetimport/FolderImport.h"
#include "shared/AppFolder.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fixtures.h"
#include "tests/support/FolderContents.h"
#include "tests/support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace JetImportFixture;

namespace {

class FolderImportTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString source = dir.filePath(QStringLiteral("windows"));
    QString target = dir.filePath(QStringLiteral("office"));

    // An application folder as it comes from a Windows installation: Jet databases with names in any
    // case, a database of this engine, programs and other files, the Windows data-link files.
    void makeWindowsFolder()
    {
        QDir().mkpath(source + QStringLiteral("/CompanyData/1"));
        QDir().mkpath(source + QStringLiteral("/CompanyData/2"));
        QDir().mkpath(source + QStringLiteral("/Reports/empty"));
        copySample(source, QStringLiteral("DateTestDatabase.mdb"), QStringLiteral("MCLarkspur.mdb"));
        copySample(source, QStringLiteral("DateTestDatabase.mdb"),
                   QStringLiteral("CompanyData/Larkspur.MDB"));
        copySample(source, QStringLiteral("nwind.mdb"), QStringLiteral("CompanyData/1/1.mdb"));
        DatabaseFile::create(source + QStringLiteral("/CompanyData/2/2.mdb"), Password);
        Fixtures::writeAll(source + QLatin1Char('/') + AppFolder::MasterDataLinkName,
                           Fixtures::dataLinkBytes(QStringLiteral(
                               "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Larkspur\\MCLarkspur.mdb")));
        Fixtures::writeAll(
            source + QStringLiteral("/datalink.udl"),
            Fixtures::dataLinkBytes(QStringLiteral(
                "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Larkspur\\CompanyData\\1\\1.mdb")));
        Fixtures::writeAll(source + QStringLiteral("/Larkspur.exe"),
                           QByteArray("MZ\x90\0\3\0", 6) + QByteArray(3000, 'x'));
        ::chmod(QFile::encodeName(source + QStringLiteral("/Larkspur.exe")).constData(), 0755);
        Fixtures::writeAll(source + QStringLiteral("/Reports/ใบแจ้งหนี้ \"1\".txt"),
                           QByteArray("line\r\nline\r\n"));
        Fixtures::writeAll(source + QStringLiteral("/.hidden"), QByteArray());
    }

    std::string failureOf(const QString& from, const QString& into)
    {
        try {
            JetImport::importFolder(from, into, options());
        } catch (const AppError& error) {
            return error.description().toStdString();
        }
        return "(no failure)";
    }
    // Nothing next to the target but what the test made: no folder left half made.
    QStringList besideTarget() const { return entries(dir.path()); }
};

TEST_F(FolderImportTest, AWindowsApplicationFolderIsConvertedWhole)
{
    makeWindowsFolder();
    const auto before = FolderContents::take(source);

    const auto report = JetImport::importFolder(source, target, options());

    EXPECT_EQ(FolderContents::differences(before, FolderContents::take(source)), QStringList{});
    EXPECT_EQ(report.databases.size(), 3);
    EXPECT_EQ(report.filesCopied, 5); // 2.mdb, datalink.udl, Larkspur.exe, the report, .hidden
    EXPECT_EQ(report.masterDataLink, target + QStringLiteral("/MCdatalink.udl"));

    // The same tree under the target.
    QStringList sourceNames;
    QStringList targetNames;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        sourceNames.append(it.key());
    const auto after = FolderContents::take(target);
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        targetNames.append(it.key());
    EXPECT_EQ(targetNames, sourceNames);

    // Other files byte for byte, with their modes; the engine's database unchanged.
    for (const char* name :
         {"CompanyData/2/2.mdb", "datalink.udl", "Larkspur.exe", "Reports/ใบแจ้งหนี้ \"1\".txt", ".hidden"}) {
        const QString relative = QString::fromUtf8(name);
        EXPECT_TRUE(after.value(relative) == before.value(relative)) << name;
        EXPECT_EQ(QFileInfo(target + QLatin1Char('/') + relative).permissions(),
                  QFileInfo(source + QLatin1Char('/') + relative).permissions())
            << name;
    }
    // Jet databases converted under their own names and opened with the common password.
    for (const char* name : {"MCLarkspur.mdb", "CompanyData/Larkspur.MDB", "CompanyData/1/1.mdb"}) {
        const QString path = target + QLatin1Char('/') + QString::fromUtf8(name);
        EXPECT_FALSE(after.value(QString::fromUtf8(name)).startsWith("Standard Jet DB")) << name;
        Connection connection;
        EXPECT_NO_THROW(connection.open(AppFolder::JetConnectionString(path))) << name;
    }
    // The master's data-link file names the new master, in the data-link format.
    EXPECT_EQ(DataLinkFile::readConnectionString(report.masterDataLink),
              AppFolder::JetConnectionString(target + QStringLiteral("/MCLarkspur.mdb")));
    Connection master;
    master.open(AppFolder::MasterDataLinkReference(target));
    Recordset rows;
    rows.open(QStringLiteral("select count(*) from DateTest"), master);
    EXPECT_EQ(rows.value(0).toLongLong(), 6);
    EXPECT_EQ(besideTarget(), (QStringList{QStringLiteral("office"), QStringLiteral("windows")}));
}

TEST_F(FolderImportTest, AnEmptyTargetFolderIsFilledAndATakenOneRefused)
{
    makeWindowsFolder();
    QDir().mkpath(target);
    EXPECT_NO_THROW(JetImport::importFolder(source, target, options()));
    EXPECT_TRUE(QFile::exists(target + QStringLiteral("/MCLarkspur.mdb")));

    const auto filled = FolderContents::take(target);
    EXPECT_EQ(failureOf(source, target),
              QStringLiteral("'%1' already holds a master database (MCLarkspur.mdb); the import was refused.")
                  .arg(target)
                  .toStdString());
    EXPECT_EQ(FolderContents::differences(filled, FolderContents::take(target)), QStringList{});
}

TEST_F(FolderImportTest, TargetsThatCannotTakeTheImportAreRefusedBeforeAnyWrite)
{
    makeWindowsFolder();
    const QString file = dir.filePath(QStringLiteral("a file"));
    Fixtures::writeAll(file, QByteArray("x"));
    const QString taken = dir.filePath(QStringLiteral("taken"));
    QDir().mkpath(taken);
    Fixtures::writeAll(taken + QStringLiteral("/mclarkspur.MDB"), QByteArray("master"));
    const QString busy = dir.filePath(QStringLiteral("busy"));
    QDir().mkpath(busy);
    Fixtures::writeAll(busy + QStringLiteral("/notes.txt"), QByteArray("mine"));
    const auto before = FolderContents::take(dir.path());

    struct Case
    {
        QString from;
        QString into;
        QString failure;
    };
    const Case cases[] = {
        {source, file, QStringLiteral("'%1' is a file, not a folder; the import was refused.").arg(file)},
        {source, taken,
         QStringLiteral("'%1' already holds a master database (mclarkspur.MDB); the import was refused.")
             .arg(taken)},
        {source, busy, QStringLiteral("'%1' is not empty; the import was refused.").arg(busy)},
        {source, source + QStringLiteral("/converted"),
         QStringLiteral(
             "'%1/converted' lies inside the folder '%1' that is imported; the import was refused.")
             .arg(source)},
        {source, source,
         QStringLiteral("'%1' lies inside the folder '%1' that is imported; the import was refused.")
             .arg(source)},
        {dir.filePath(QStringLiteral("nowhere")), target,
         QStringLiteral("The folder '%1' cannot be imported: No such file or directory.")
             .arg(dir.filePath(QStringLiteral("nowhere")))},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(failureOf(c.from, c.into), c.failure.toStdString());
        EXPECT_EQ(FolderContents::differences(before, FolderContents::take(dir.path())), QStringList{});
    }
}

TEST_F(FolderImportTest, SourcesWithSpecialEntriesAreRefusedBeforeAnyWrite)
{
    struct Case
    {
        const char* what;
        std::function<QString(const QString&)> make; // returns the offending path
        const char* cause;
    };
    const Case cases[] = {
        {"fifo",
         [](const QString& folder) {
             const QString path = folder + QStringLiteral("/CompanyData/pipe");
             ::mkfifo(QFile::encodeName(path).constData(), 0644);
             return path;
         },
         "is a FIFO; only files and folders are imported"},
        {"loop",
         [](const QString& folder) {
             const QString path = folder + QStringLiteral("/CompanyData/1/up");
             QFile::link(folder + QStringLiteral("/CompanyData"), path);
             return path;
         },
         "leads back into a folder it lies in (a loop of links)"},
        {"self link",
         [](const QString& folder) {
             const QString path = folder + QStringLiteral("/self");
             QFile::link(path, path);
             return path;
         },
         "is a link in a loop of links"},
        {"dangling",
         [](const QString& folder) {
             const QString path = folder + QStringLiteral("/gone.mdb");
             QFile::link(folder + QStringLiteral("/nothing-here"), path);
             return path;
         },
         "is a link that leads nowhere"},
    };
    for (const Case& c : cases) {
        makeWindowsFolder();
        const QString offending = c.make(source);
        // The snapshot helper would block on the FIFO and follow the loop: the files of one folder stand
        // for the source here.
        const auto before = FolderContents::take(source + QStringLiteral("/Reports"));
        EXPECT_EQ(failureOf(source, target), QStringLiteral("The folder cannot be imported: '%1' %2.")
                                                 .arg(offending, QString::fromLatin1(c.cause))
                                                 .toStdString())
            << c.what;
        EXPECT_EQ(besideTarget(), QStringList{QStringLiteral("windows")}) << c.what;
        EXPECT_EQ(
            FolderContents::differences(before, FolderContents::take(source + QStringLiteral("/Reports"))),
            QStringList{})
            << c.what;
        QDir(source).removeRecursively();
    }
}

TEST_F(FolderImportTest, AnUnreadableFileInTheSourceIsNamed)
{
    makeWindowsFolder();
    const QString locked = source + QStringLiteral("/CompanyData/1/1.mdb");
    ::chmod(QFile::encodeName(locked).constData(), 0600);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    Unprivileged::makeReachable(dir.path());
    for (const QString& folder :
         {source, source + QStringLiteral("/CompanyData"), source + QStringLiteral("/CompanyData/1"),
          source + QStringLiteral("/CompanyData/2"), source + QStringLiteral("/Reports"),
          source + QStringLiteral("/Reports/empty")})
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    for (const QFileInfo& file : QDir(source).entryInfoList(QDir::Files | QDir::Hidden))
        ::chmod(QFile::encodeName(file.filePath()).constData(), 0644);
    const int status = Unprivileged::run([&] {
        const std::string failure = failureOf(source, target);
        const std::string expected =
            QStringLiteral("The folder cannot be imported: '%1' cannot be read: Permission denied.")
                .arg(locked)
                .toStdString();
        if (failure != expected)
            return 10;
        return QFileInfo::exists(target) ? 11 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(besideTarget(), QStringList{QStringLiteral("windows")});
}

TEST_F(FolderImportTest, ADatabaseThatFailsFailsTheWholeFolder)
{
    makeWindowsFolder();
    const QByteArray jet = Fixtures::readAll(QStringLiteral(JET_SAMPLES "/nwind.mdb"));
    Fixtures::writeAll(source + QStringLiteral("/CompanyData/2/old.mdb"), jet.left(jet.size() / 2));
    const auto before = FolderContents::take(source);
    const std::string failure = failureOf(source, target);
    EXPECT_EQ(
        failure.rfind(
            "'" + (source + QStringLiteral("/CompanyData/2/old.mdb' was not converted: ")).toStdString(), 0),
        0u)
        << failure;
    EXPECT_EQ(besideTarget(), QStringList{QStringLiteral("windows")});
    EXPECT_EQ(FolderContents::differences(before, FolderContents::take(source)), QStringList{});
}

TEST_F(FolderImportTest, TwoImportsIntoOneTargetAtOnceLeaveOneWholeFolder)
{
    makeWindowsFolder();
    const auto import = [&] {
        try {
            JetImport::importFolder(source, target, options());
            return 0;
        } catch (const AppError& error) {
            const QString text = error.description();
            return text.contains(QStringLiteral("another import")) ||
                           text.contains(QStringLiteral("not empty")) ||
                           text.contains(QStringLiteral("master database"))
                       ? 1
                       : 2;
        }
    };
    const pid_t first = ChildProcess::start(import);
    const pid_t second = ChildProcess::start(import);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    const int a = ChildProcess::wait(first);
    const int b = ChildProcess::wait(second);
    EXPECT_EQ(a + b, 1) << a << " " << b;
    EXPECT_EQ(besideTarget(), (QStringList{QStringLiteral("office"), QStringLiteral("windows")}));
    EXPECT_EQ(shellLines(target + QStringLiteral("/CompanyData/1/1.mdb"),
                         QStringLiteral("SELECT count(*) FROM Orders;")),
              QStringList{QStringLiteral("830")});
}

} // namespace

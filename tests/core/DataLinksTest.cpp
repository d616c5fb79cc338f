#include "launcher/core/DataLinks.h"
#include "shared/AppFolder.h"

#include "base/AppError.h"
#include "launcher/core/LauncherGlobals.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Unprivileged.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QString Tail =
    QStringLiteral(";Persist Security Info=False;Jet OLEDB:Database Password=Marigold4817;Jet "
                   "OLEDB:Engine Type=5");

TEST(JetConnectionString, KeepsOrdinaryPathsAsTheyAreAndQuotesOnlyWhatWouldBreakTheString)
{
    struct Case
    {
        QString path;
        QString source;
    } cases[] = {
        {QStringLiteral("/srv/app/MCLarkspur.mdb"), QStringLiteral("/srv/app/MCLarkspur.mdb")},
        {QStringLiteral("/srv/my app/บริษัท/1.mdb"), QStringLiteral("/srv/my app/บริษัท/1.mdb")},
        {QStringLiteral("/srv/O'Brien/1.mdb"), QStringLiteral("\"/srv/O'Brien/1.mdb\"")},
        {QStringLiteral("/srv/a;b/1.mdb"), QStringLiteral("\"/srv/a;b/1.mdb\"")},
        {QStringLiteral("/srv/say \"hi\"/1.mdb"), QStringLiteral("'/srv/say \"hi\"/1.mdb'")},
        {QStringLiteral(" /srv/lead"), QStringLiteral("\" /srv/lead\"")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AppFolder::JetConnectionString(c.path),
                  QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + c.source + Tail)
            << c.path.toStdString();
    }
}

TEST(TestConnectionString, ReplacesThePlaceholderAndNamesNoEngineType)
{
    EXPECT_EQ(DataLinks::TestConnectionString(QStringLiteral("/data/COMPANYDATA/Larkspur.mdb")),
              QStringLiteral(
                  "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/COMPANYDATA/Larkspur.mdb;Mode=Share "
                  "Deny None;Persist Security Info=True;Jet OLEDB:Database Password=Marigold4817"));
}

TEST(CreateUDLFile, WritesThreeUtf16LinesAndReplacesALongerFileWhole)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("datalink.udl"));
    const QString longText = AppFolder::JetConnectionString(QString(300, QLatin1Char('x')));
    DataLinks::CreateUDLFile(longText, file);
    EXPECT_EQ(Fixtures::readAll(file), Fixtures::dataLinkBytes(longText));

    const QString shortText = AppFolder::JetConnectionString(QStringLiteral("/d/3.mdb"));
    DataLinks::CreateUDLFile(shortText, file);
    const QByteArray bytes = Fixtures::readAll(file);
    EXPECT_EQ(bytes, Fixtures::dataLinkBytes(shortText));
    EXPECT_TRUE(bytes.startsWith("\xFF\xFE[\0o\0l\0e\0d\0b\0]\0\r\0\n\0"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary file left";
}

TEST(CreateUDLFile, KeepsTheModeOfTheReplacedFileAndWritesThroughASymbolicLink)
{
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real.udl"));
    const QString link = dir.filePath(QStringLiteral("datalink.udl"));
    Fixtures::writeAll(real, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(real, link));

    DataLinks::CreateUDLFile(QStringLiteral("Provider=x"), link);

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Fixtures::readAll(real), Fixtures::dataLinkBytes(QStringLiteral("Provider=x")));
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(CreateUDLFile, AFailedWriteRaisesAndLeavesTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("datalink.udl"));
    Fixtures::writeAll(file, "previous contents");
    Unprivileged::makeReachable(dir.path());
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0666), 0);

    const int status = Unprivileged::run([&] {
        try {
            DataLinks::CreateUDLFile(QStringLiteral("Provider=x"), file);
            return 1;
        } catch (const AppError& error) {
            return error.description().contains(file) ? 0 : 2;
        }
    });
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Fixtures::readAll(file), QByteArray("previous contents"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(CreateUDLFile, ReplacesOnlyARegularFile)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString linked = dir.filePath(QStringLiteral("datalink.udl"));
    ASSERT_TRUE(QFile::link(fifo, linked));
    for (const QString& target : {fifo, linked}) {
        SCOPED_TRACE(target.toStdString());
        try {
            DataLinks::CreateUDLFile(QStringLiteral("x"), target);
            ADD_FAILURE() << "written";
        } catch (const AppError& error) {
            EXPECT_TRUE(error.description().contains(target)) << error.description().toStdString();
            EXPECT_TRUE(error.description().contains(QStringLiteral("not a regular file")));
        }
    }
    EXPECT_EQ(QFileInfo(fifo).isFile(), false);
    EXPECT_EQ(QFile::symLinkTarget(linked), fifo);
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        (QStringList{QStringLiteral("datalink.udl"), QStringLiteral("pipe")}));
}

TEST(CreateUDLFile, RefusesALineBreakAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("MCdatalink.udl"));
    Fixtures::writeAll(file, "previous contents");
    for (const QString& folder :
         {QStringLiteral("/srv/a\nb"), QStringLiteral("/srv/a\r\nb"), QStringLiteral("/srv/a\rb")}) {
        SCOPED_TRACE(folder.toStdString());
        try {
            DataLinks::WriteMasterDataLink(dir.path(), folder);
            ADD_FAILURE() << "written";
        } catch (const AppError& error) {
            EXPECT_EQ(
                error.description(),
                QStringLiteral("The data-link file %1 could not be written: the connection string holds a "
                               "line break.")
                    .arg(file));
        }
        EXPECT_EQ(Fixtures::readAll(file), QByteArray("previous contents"));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("MCdatalink.udl")});
}

TEST(WriteDataLinks, NameTheCompanyDatabaseAndTheMasterAsGiven)
{
    QTemporaryDir dir;
    AppFolderMaker::make(dir.path(), {false, 3});
    LauncherGlobals globals;
    globals.MasterConnection.setCursorLocation(Ado::UseClient);
    globals.MasterConnection.open(AppFolder::MasterDataLinkReference(dir.path()));
    globals.DatabasePath = QStringLiteral("/D");

    ASSERT_TRUE(DataLinks::WriteCompanyDataLink(globals, dir.path(), 3));
    EXPECT_EQ(
        Fixtures::readAll(dir.filePath(QStringLiteral("datalink.udl"))),
        Fixtures::dataLinkBytes(AppFolder::JetConnectionString(QStringLiteral("/D/CompanyData/3/3.mdb"))));

    // An empty data folder gives a path from the root.
    globals.DatabasePath.clear();
    ASSERT_TRUE(DataLinks::WriteCompanyDataLink(globals, dir.path(), 2));
    const QByteArray forTwo =
        Fixtures::dataLinkBytes(AppFolder::JetConnectionString(QStringLiteral("/CompanyData/2/2.mdb")));
    EXPECT_EQ(Fixtures::readAll(dir.filePath(QStringLiteral("datalink.udl"))), forTwo);

    // A company without a row has no database to name: nothing is written, rather than a path that ends
    // in the company's folder.
    try {
        DataLinks::WriteCompanyDataLink(globals, dir.path(), 99);
        ADD_FAILURE() << "written for a company without a row";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::BadFileNameOrNumber);
    }
    EXPECT_EQ(Fixtures::readAll(dir.filePath(QStringLiteral("datalink.udl"))), forTwo);

    ASSERT_TRUE(DataLinks::WriteMasterDataLink(dir.path(), QStringLiteral("/srv/master/")));
    EXPECT_EQ(Fixtures::readAll(dir.filePath(QStringLiteral("MCdatalink.udl"))),
              Fixtures::dataLinkBytes(
                  AppFolder::JetConnectionString(QStringLiteral("/srv/master//MCLarkspur.mdb"))));
}

} // namespace

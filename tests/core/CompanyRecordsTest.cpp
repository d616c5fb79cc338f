#include "engine/Convert.h"
#include "engine/Recordset.h"
#include "launcher/core/MdlDAO.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "shared/AppFolder.h"
#include "tests/support/DiskSnapshot.h"
#include "tests/support/Fixtures.h"
#include "tests/support/MasterFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <functional>
#include <thread>

namespace {

class CompanyRecordsTest : public MasterFixture
{
protected:
    void SetUp() override
    {
        makeFolder({false, 0});
        openMaster();
        globals.DatabasePath = dir.path();
    }
    QList<int> ids(LauncherGlobals& g)
    {
        QList<int> result;
        Recordset rs = MdlDAO::GetCompanyList(g);
        for (int i = 0; i < rs.recordCount(); ++i, rs.moveNext())
            result << Convert::toInt16(rs.value(QStringLiteral("COMPANY_ID")));
        return result;
    }

    ScriptedFileOperationUi ui;
    ShellFileOperation files{ui};
};

TEST_F(CompanyRecordsTest, IdentifiersFollowTheHighestButPassByAFolderThatIsStillThere)
{
    for (int id : {1, 2, 5})
        sql(QStringLiteral(
                "insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) values (%1, 'c', '%1.mdb')")
                .arg(id));
    ASSERT_TRUE(MdlDAO::AddCompany(globals, files, QStringLiteral("six")));
    EXPECT_EQ(ids(globals), (QList<int>{1, 2, 5, 6}));
    const QString six = dir.filePath(QStringLiteral("CompanyData/6/6.mdb"));
    EXPECT_TRUE(QFile::exists(six));

    ASSERT_TRUE(MdlDAO::DeleteCompany(globals, settings, 6));
    EXPECT_TRUE(QFile::exists(six)) << "files are not touched";
    Fixtures::writeAll(six, "the books of the deleted company six");
    ASSERT_TRUE(MdlDAO::AddCompany(globals, files, QStringLiteral("seven")));
    EXPECT_EQ(ids(globals), (QList<int>{1, 2, 5, 7}));
    EXPECT_TRUE(ui.questions().isEmpty());
    EXPECT_EQ(Fixtures::readAll(six), QByteArray("the books of the deleted company six"));
    EXPECT_EQ(Fixtures::readAll(dir.filePath(QStringLiteral("CompanyData/7/7.mdb"))),
              Fixtures::readAll(dir.filePath(QStringLiteral("CompanyData/Larkspur.mdb"))));

    // An empty folder left by a delete with the database is passed by as well.
    ASSERT_TRUE(MdlDAO::DeleteCompany(globals, settings, 7));
    QFile::remove(dir.filePath(QStringLiteral("CompanyData/7/7.mdb")));
    ASSERT_TRUE(MdlDAO::AddCompany(globals, files, QStringLiteral("eight")));
    EXPECT_EQ(ids(globals), (QList<int>{1, 2, 5, 8}));
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("CompanyData/7"))).isEmpty());
}

// 32767 is the last identifier a company can have: the add after the highest one before it gets it, and
// once every identifier from the next one on is taken (by a row or by a folder still there) an add is
// refused with no row, no folder and no file left.
TEST_F(CompanyRecordsTest, TheLastIdentifierIsGivenOnceAndThenTheAddIsRefusedLeavingNothing)
{
    sql(QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) values (32766, 'c', "
                       "'32766.mdb')"));
    ASSERT_TRUE(MdlDAO::AddCompany(globals, files, QStringLiteral("last")));
    EXPECT_EQ(ids(globals), (QList<int>{32766, 32767}));
    EXPECT_EQ(Fixtures::readAll(dir.filePath(QStringLiteral("CompanyData/32767/32767.mdb"))),
              Fixtures::readAll(dir.filePath(QStringLiteral("CompanyData/Larkspur.mdb"))));

    const auto before = DiskSnapshot::take(dir.path());
    EXPECT_FALSE(MdlDAO::AddCompany(globals, files, QStringLiteral("one too many")));
    EXPECT_EQ(ids(globals), (QList<int>{32766, 32767}));
    const auto after = DiskSnapshot::take(dir.path());
    EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
}

// The folders of the identifiers after the highest row, up to the last one, are all still there.
TEST_F(CompanyRecordsTest, WhenEveryFolderUpToTheLastIdentifierIsThereTheAddIsRefused)
{
    sql(QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) values (32760, 'c', "
                       "'32760.mdb')"));
    for (int id = 32761; id <= 32767; ++id)
        ASSERT_TRUE(QDir().mkdir(dir.filePath(QStringLiteral("CompanyData/%1").arg(id))));
    const auto before = DiskSnapshot::take(dir.path());
    EXPECT_FALSE(MdlDAO::AddCompany(globals, files, QStringLiteral("no room")));
    EXPECT_EQ(ids(globals), QList<int>{32760});
    const auto after = DiskSnapshot::take(dir.path());
    EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();

    // The last folder freed, the last identifier is given.
    ASSERT_TRUE(QDir().rmdir(dir.filePath(QStringLiteral("CompanyData/32767"))));
    ASSERT_TRUE(MdlDAO::AddCompany(globals, files, QStringLiteral("room again")));
    EXPECT_EQ(ids(globals), (QList<int>{32760, 32767}));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("CompanyData/32767/32767.mdb"))));
}

TEST_F(CompanyRecordsTest, UpdatingAMissingCompanyChangesNothingAndSucceeds)
{
    EXPECT_TRUE(MdlDAO::UpdateCompany(globals, 9, QStringLiteral("x"), QStringLiteral("p"),
                                      QStringLiteral("x.mdb"), 1, 1));
    EXPECT_TRUE(ids(globals).isEmpty());
    EXPECT_TRUE(MdlDAO::DeleteCompany(globals, settings, 9));
}

TEST_F(CompanyRecordsTest, DeletingTheCurrentCompanyClearsBothRecordsOfIt)
{
    ASSERT_TRUE(MdlDAO::AddCompany(globals, files, QStringLiteral("a")));
    ASSERT_TRUE(MdlDAO::AddCompany(globals, files, QStringLiteral("b")));
    ASSERT_TRUE(MdlDAO::SetCurrentCompanyID(globals, 2));
    settings.save(QStringLiteral("companyid"), QStringLiteral("2"));

    ASSERT_TRUE(MdlDAO::DeleteCompany(globals, settings, 1));
    EXPECT_EQ(settings.get(QStringLiteral("companyid")), QStringLiteral("2"));
    EXPECT_EQ(MdlDAO::GetCurrentCompanyID(globals, settings), 2);

    ASSERT_TRUE(MdlDAO::DeleteCompany(globals, settings, 2));
    EXPECT_EQ(settings.get(QStringLiteral("companyid")), QStringLiteral("0"));
    settings.save(QStringLiteral("companyid"), QString());
    EXPECT_EQ(MdlDAO::GetCurrentCompanyID(globals, settings), 0) << "the master's row says none too";
}

// Another program's copy, a row given the same identifier while the add copies its books: the add
// fails, the other row stays the only one, and the folder the add made is removed again.
class RowAddedDuringTheCopy : public IFileOperation
{
public:
    RowAddedDuringTheCopy(IFileOperation& real, std::function<void()> during)
        : m_real(real), m_during(std::move(during))
    {}
    FileOpResult copy(const QString& source, const QString& target, int flags) override
    {
        const FileOpResult result = m_real.copy(source, target, flags);
        m_during();
        return result;
    }
    FileOpResult remove(const QString& path, int flags) override { return m_real.remove(path, flags); }

private:
    IFileOperation& m_real;
    std::function<void()> m_during;
};

TEST_F(CompanyRecordsTest, ARowGivenTheSameIdentifierMeanwhileFailsTheAddAndStaysTheOnlyOne)
{
    // A master whose identifiers are not a primary key, as some older ones are: only the add's own look
    // at the rows keeps two companies from sharing one folder.
    sql(QStringLiteral("drop table Company"));
    sql(QStringLiteral("create table Company (COMPANY_ID SMALLINT, COMPANY_NAME VARCHAR(255), COMPANY_PATH "
                       "VARCHAR(255), IS_SELECT SMALLINT, IS_DELETED SMALLINT, DATABASE_NAME VARCHAR(255), "
                       "DATABASE_PATH VARCHAR(255) NOT NULL DEFAULT '')"));
    RowAddedDuringTheCopy racing(files, [this] {
        sql(QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) values (1, "
                           "'the other program''s', 'other.mdb')"));
    });

    EXPECT_FALSE(MdlDAO::AddCompany(globals, racing, QStringLiteral("ours")));

    EXPECT_EQ(ids(globals), QList<int>{1});
    const MdlDAO::CompanyDatabase found = MdlDAO::FindCompanyDatabase(globals, 1);
    EXPECT_EQ(found.companyName, QStringLiteral("the other program's"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("CompanyData/1"))));
}

TEST_F(CompanyRecordsTest, TwoLaunchersAddingAtOnceGetDistinctIdentifiersAndLoseNoRow)
{
    constexpr int perLauncher = 12;
    auto launcher = [this](QList<bool>* outcomes) {
        LauncherGlobals own;
        own.MasterConnection.setCursorLocation(Ado::UseClient);
        own.MasterConnection.open(AppFolder::MasterDataLinkReference(dir.path()));
        own.DatabasePath = dir.path();
        ScriptedFileOperationUi ownUi;
        ShellFileOperation ownFiles(ownUi);
        for (int i = 0; i < perLauncher; ++i)
            outcomes->append(MdlDAO::AddCompany(own, ownFiles, QStringLiteral("company %1").arg(i)));
    };
    QList<bool> first, second;
    std::thread a(launcher, &first);
    std::thread b(launcher, &second);
    a.join();
    b.join();

    EXPECT_EQ(first.count(true), perLauncher);
    EXPECT_EQ(second.count(true), perLauncher);
    QList<int> expected;
    for (int id = 1; id <= 2 * perLauncher; ++id)
        expected << id;
    EXPECT_EQ(ids(globals), expected);
    for (int id : expected)
        EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("CompanyData/%1/%1.mdb").arg(id)))) << id;
}

} // namespace

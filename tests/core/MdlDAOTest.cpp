#include "launcher/core/MdlDAO.h"
#include "shared/AppFolder.h"

#include "base/AppError.h"
#include "engine/Convert.h"
#include "tests/support/MasterFixture.h"

namespace {

class MdlDAOTest : public MasterFixture
{
protected:
    void SetUp() override
    {
        makeFolder({false, 0});
        openMaster();
    }
};

TEST_F(MdlDAOTest, CurrentCompanyPrefersTheSettingAndFallsBackToTheMaster)
{
    struct Case
    {
        QString setting;
        QString row; // empty: no row at all
        int expected;
    } cases[] = {
        {QStringLiteral("5"), QStringLiteral("2"), 5},
        {QString(), QStringLiteral("2"), 2},
        {QString(), QString(), 0},
        {QStringLiteral("abc"), QStringLiteral("2"), 2},   // not a number: treated as absent
        {QStringLiteral("99999"), QStringLiteral("4"), 4}, // not a 16-bit number: treated as absent
        {QStringLiteral(" 7 "), QStringLiteral("1"), 7},
    };
    for (const Case& c : cases) {
        sql(QStringLiteral("delete from Config_Data where Config_Head = 'CurrentCompany'"));
        if (!c.row.isEmpty())
            sql(QStringLiteral("insert into Config_Data values ('CurrentCompany', '%1')").arg(c.row));
        settings.save(QStringLiteral("companyid"), c.setting);
        EXPECT_EQ(MdlDAO::GetCurrentCompanyID(globals, settings), c.expected) << c.setting.toStdString();
    }
}

TEST_F(MdlDAOTest, SetCurrentCompanyChangesAnExistingRowOnlyAndReportsFailure)
{
    ASSERT_TRUE(MdlDAO::SetCurrentCompanyID(globals, 12));
    EXPECT_EQ(MdlDAO::GetCurrentCompanyID(globals, settings), 12);

    sql(QStringLiteral("delete from Config_Data where Config_Head = 'CurrentCompany'"));
    EXPECT_TRUE(MdlDAO::SetCurrentCompanyID(globals, 3));
    Recordset rs;
    rs.open(QStringLiteral("select * from Config_Data where Config_Head = 'CurrentCompany'"),
            globals.MasterConnection);
    EXPECT_EQ(rs.recordCount(), 0) << "no row is ever inserted";

    globals.MasterConnection.close();
    EXPECT_FALSE(MdlDAO::SetCurrentCompanyID(globals, 3));
    EXPECT_FALSE(MdlDAO::SetDatabasePath(globals, QStringLiteral("/x")));
    EXPECT_FALSE(MdlDAO::SetUseDefaultPath(globals, QStringLiteral("0")));
    EXPECT_FALSE(MdlDAO::HasDatabasePathConfig(globals));
    EXPECT_FALSE(MdlDAO::ColumnExists(globals, QStringLiteral("Company"), QStringLiteral("COMPANY_ID")));
    EXPECT_EQ(MdlDAO::GetColumnSize(globals, QStringLiteral("Config_Data"), QStringLiteral("Config_Value")),
              -1);
    EXPECT_THROW(MdlDAO::GetDatabasePath(globals), AppError);
}

TEST_F(MdlDAOTest, NextIdIsOneAboveTheHighest)
{
    EXPECT_EQ(MdlDAO::GetNextID(globals, QStringLiteral("COMPANY"), QStringLiteral("COMPANY_ID"), QString()),
              1);
    for (int id : {1, 2, 9})
        sql(QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) values (%1, 'c', "
                           "'%1.mdb')")
                .arg(id));
    EXPECT_EQ(MdlDAO::GetNextID(globals, QStringLiteral("COMPANY"), QStringLiteral("COMPANY_ID"), QString()),
              10);
}

TEST_F(MdlDAOTest, CompanyLookupsAndTheList)
{
    sql(QStringLiteral(
        "insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) values (4, 'สี่', '4.mdb')"));
    sql(QStringLiteral(
        "insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) values (2, 'Two', 'two.mdb')"));
    EXPECT_EQ(MdlDAO::GetCompanyDatabaseName(globals, 2), QStringLiteral("two.mdb"));
    EXPECT_EQ(MdlDAO::GetCompanyDatabaseName(globals, 3), QString());

    Recordset one = MdlDAO::GetCompanyByID(globals, 4);
    ASSERT_EQ(one.recordCount(), 1);
    EXPECT_EQ(one.value(QStringLiteral("Company_Name")).toString(), QStringLiteral("สี่"));

    Recordset list = MdlDAO::GetCompanyList(globals);
    ASSERT_EQ(list.recordCount(), 2);
    list.moveFirst();
    EXPECT_EQ(Convert::toInt16(list.value(QStringLiteral("COMPANY_ID"))), 2);
    list.moveNext();
    EXPECT_EQ(Convert::toInt16(list.value(QStringLiteral("COMPANY_ID"))), 4);
}

TEST_F(MdlDAOTest, PathRowsReadAndWrite)
{
    EXPECT_EQ(MdlDAO::GetDatabasePath(globals), dir.path());
    EXPECT_EQ(MdlDAO::GetUseDefaultPath(globals), QStringLiteral("1"));
    ASSERT_TRUE(MdlDAO::SetDatabasePath(globals, QStringLiteral("/srv/O'Brien; data")));
    ASSERT_TRUE(MdlDAO::SetUseDefaultPath(globals, QStringLiteral("0")));
    EXPECT_EQ(MdlDAO::GetDatabasePath(globals), QStringLiteral("/srv/O'Brien; data"));
    EXPECT_EQ(MdlDAO::GetUseDefaultPath(globals), QStringLiteral("0"));

    sql(QStringLiteral("delete from Config_Data where Config_Head = 'DatabasePath'"));
    EXPECT_EQ(MdlDAO::GetDatabasePath(globals), QString());
    EXPECT_FALSE(MdlDAO::HasDatabasePathConfig(globals));
}

TEST_F(MdlDAOTest, ProbesOnCurrentAndOlderMasters)
{
    EXPECT_TRUE(MdlDAO::ColumnExists(globals, QStringLiteral("Company"), QStringLiteral("Database_Path")));
    EXPECT_FALSE(MdlDAO::ColumnExists(globals, QStringLiteral("Company"), QStringLiteral("Nothing")));
    EXPECT_FALSE(MdlDAO::ColumnExists(globals, QStringLiteral("Nowhere"), QStringLiteral("x")));
    EXPECT_EQ(MdlDAO::GetColumnSize(globals, QStringLiteral("Config_Data"), QStringLiteral("Config_Value")),
              255);
    EXPECT_TRUE(MdlDAO::HasDatabasePathConfig(globals));

    QTemporaryDir older;
    AppFolderMaker::make(older.path(), {true, 0});
    LauncherGlobals old;
    old.MasterConnection.open(AppFolder::MasterDataLinkReference(older.path()));
    EXPECT_FALSE(MdlDAO::ColumnExists(old, QStringLiteral("Company"), QStringLiteral("Database_Path")));
    EXPECT_EQ(MdlDAO::GetColumnSize(old, QStringLiteral("Config_Data"), QStringLiteral("Config_Value")), 50);
    EXPECT_FALSE(MdlDAO::HasDatabasePathConfig(old));
}

// The column probe answers from the table's definition and reads no row: a column whose every value
// fails to compute (here an integer overflow in a view) is still there.
TEST_F(MdlDAOTest, TheColumnProbeReadsNoRow)
{
    sql(QStringLiteral("CREATE VIEW Broken AS SELECT abs(-9223372036854775807 - 1) AS Value FROM Company"));
    sql(QStringLiteral(
        "insert into Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) values (1, 'c', '1.mdb')"));
    Connection other;
    other.open(AppFolder::JetConnectionString(dir.filePath(AppFolder::MasterDatabaseName)));
    EXPECT_THROW(other.execute(QStringLiteral("select  count(Value) from Broken")), AppError)
        << "reading the column fails";
    EXPECT_TRUE(MdlDAO::ColumnExists(globals, QStringLiteral("Broken"), QStringLiteral("Value")));
    EXPECT_FALSE(MdlDAO::ColumnExists(globals, QStringLiteral("Broken"), QStringLiteral("Other")));
}

TEST_F(MdlDAOTest, AClosedMasterReportsWhyItCouldNotBeOpened)
{
    LauncherGlobals failed;
    failed.MasterOpenError =
        AppError(ErrorNumber::WrongPassword, QStringLiteral("wrong password for /x.mdb"));
    try {
        MdlDAO::GetDatabasePath(failed);
        FAIL() << "expected an error";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::WrongPassword);
        EXPECT_EQ(error.description(), QStringLiteral("wrong password for /x.mdb"));
    }
}

} // namespace

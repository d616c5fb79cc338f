#include "engine/Recordset.h"
#include "tests/engine/EngineTestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace EngineTest;

const QString AddDatabasePath =
    QStringLiteral("ALTER table Company Add Database_Path Varchar(255)  WITH COMPRESSION NOT NULL ");
const QString WidenConfigValue =
    QStringLiteral("ALTER table Config_Data  ALTER COLUMN  Config_Value text(255) ");
const QString ColumnProbe = QStringLiteral("select  count(Database_Path) from Company");
const QString SizeProbe = QStringLiteral("select  top 1 Config_Value from Config_Data");

class EngineSchemaChange : public ::testing::Test
{
protected:
    void SetUp() override { path = folder.filePath(QStringLiteral("MCLarkspur.mdb")); }

    int configValueSize()
    {
        Recordset rs;
        rs.open(SizeProbe, connection);
        return rs.definedSize(0);
    }

    QStringList column(const QString& sql)
    {
        QStringList values;
        Recordset rs;
        rs.open(sql, connection);
        for (int i = 0; i < rs.recordCount(); ++i, rs.moveNext())
            values.append(rs.value(0).isValid() ? rs.value(0).toString() : QStringLiteral("<null>"));
        return values;
    }

    QTemporaryDir folder;
    QString path;
    Connection connection;
};

TEST_F(EngineSchemaChange, AddColumnGivesExistingRowsTheEmptyText)
{
    makeDatabase(path, legacyMaster());
    connection.open(jetConnectionString(path));
    connection.execute(QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME) values (1, 'One')"));
    connection.execute(QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME) values (2, 'Two')"));

    const auto missing = errorOf([&] { connection.execute(ColumnProbe); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->number(), ErrorNumber::NoSuchColumn);
    EXPECT_EQ(
        missing->description(),
        QStringLiteral("The table 'Company' of the database '%1' has no column 'Database_Path'.").arg(path));

    connection.execute(AddDatabasePath);
    EXPECT_NO_THROW(connection.execute(ColumnProbe));
    EXPECT_EQ(column(QStringLiteral("select Database_Path from Company order by COMPANY_ID")),
              QStringList({QString(), QString()}));
    EXPECT_EQ(column(QStringLiteral("select count(*) from Company where Database_Path = ''")),
              QStringList({"2"}));
    Recordset rs;
    rs.open(QStringLiteral("Company"), connection);
    EXPECT_EQ(rs.definedSize(QStringLiteral("DATABASE_PATH")), 255);
    EXPECT_THROW(connection.execute(QStringLiteral("update Company set Database_Path = NULL")), AppError);

    const auto again = errorOf([&] { connection.execute(AddDatabasePath); });
    ASSERT_TRUE(again);
    EXPECT_EQ(again->number(), ErrorNumber::Unspecified);
    EXPECT_TRUE(again->description().contains(QLatin1String("duplicate column name")));
}

TEST_F(EngineSchemaChange, AlterColumnWidensTheColumnAndKeepsRowsIndexesAndTheRest)
{
    makeDatabase(path, legacyMaster() +
                           QStringList{
                               QStringLiteral("Insert into config_data(config_head,config_value) "
                                              "values('DatabasePath','/srv/ที่เก็บ') "),
                               QStringLiteral("CREATE TRIGGER keep_head AFTER DELETE ON Config_Data BEGIN "
                                              "INSERT INTO Company (COMPANY_ID, COMPANY_NAME) VALUES "
                                              "(99, OLD.Config_Head); END"),
                           });
    connection.open(jetConnectionString(path));
    const QString objectsSql = QStringLiteral(
        "select type || ' ' || name || ': ' || sql from sqlite_master where tbl_name = 'Config_Data' "
        "and type <> 'table' order by name");
    const QStringList objectsBefore = column(objectsSql);
    const QStringList rowsBefore =
        column(QStringLiteral("select rowid || ' ' || Config_Head || '=' || Config_Value "
                              "from Config_Data order by rowid"));
    ASSERT_EQ(objectsBefore.size(), 2);
    ASSERT_EQ(rowsBefore.size(), 2);
    EXPECT_EQ(configValueSize(), 50);
    EXPECT_THROW(
        connection.execute(
            QStringLiteral("update Config_Data set Config_Value = '%1'").arg(QString(51, QLatin1Char('x')))),
        AppError);

    connection.execute(WidenConfigValue);

    EXPECT_EQ(configValueSize(), 255);
    EXPECT_EQ(column(QStringLiteral("select sql from sqlite_master where name = 'Config_Data'")),
              QStringList({QStringLiteral(
                  "CREATE TABLE Config_Data (Config_Head VARCHAR(50), Config_Value VARCHAR(255))")}));
    EXPECT_EQ(column(objectsSql), objectsBefore);
    EXPECT_EQ(
        column(QStringLiteral("select rowid || ' ' || Config_Head || '=' || Config_Value from Config_Data "
                              "order by rowid")),
        rowsBefore);
    EXPECT_EQ(column(QStringLiteral("select count(*) from sqlite_master where name like '%companydesk%'")),
              QStringList({"0"}));

    // The guards follow the new size at once.
    connection.execute(
        QStringLiteral("update Config_Data set Config_Value = '%1'").arg(QString(255, QChar(0x0E02))));
    const auto error = errorOf([&] {
        connection.execute(
            QStringLiteral("update Config_Data set Config_Value = '%1'").arg(QString(256, QLatin1Char('x'))));
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ErrorNumber::TextTooLong);
    EXPECT_TRUE(error->description().endsWith(QLatin1String("defined size of 255 characters.")));
    // The recreated trigger still works.
    connection.execute(QStringLiteral("delete from Config_Data where Config_Head = 'DatabasePath'"));
    EXPECT_EQ(column(QStringLiteral("select COMPANY_NAME from Company where COMPANY_ID = 99")),
              QStringList({"DatabasePath"}));
}

TEST_F(EngineSchemaChange, AlterColumnInsideATransactionIsUndoneWithIt)
{
    makeDatabase(path, legacyMaster());
    connection.open(jetConnectionString(path));
    connection.beginTrans();
    connection.execute(WidenConfigValue);
    EXPECT_EQ(configValueSize(), 255);
    connection.execute(
        QStringLiteral("update Config_Data set Config_Value = '%1'").arg(QString(200, QLatin1Char('y'))));
    connection.rollbackTrans();

    EXPECT_EQ(configValueSize(), 50);
    EXPECT_EQ(column(QStringLiteral("select Config_Value from Config_Data")), QStringList({"0"}));
    const auto error = errorOf([&] {
        connection.execute(
            QStringLiteral("update Config_Data set Config_Value = '%1'").arg(QString(51, QLatin1Char('x'))));
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ErrorNumber::TextTooLong);
}

TEST_F(EngineSchemaChange, MissingTablesAndColumnsHaveTheirOwnNumbers)
{
    makeDatabase(path, legacyMaster());
    connection.open(jetConnectionString(path));
    struct Case
    {
        QString statement;
        long number;
        QString description;
    };
    const Case cases[] = {
        {QStringLiteral("select  count(Database_Path) from Nowhere"), ErrorNumber::NoSuchTable,
         QStringLiteral("The database '%1' has no table 'Nowhere'.").arg(path)},
        {QStringLiteral("ALTER table Nowhere  ALTER COLUMN  Config_Value text(255) "),
         ErrorNumber::NoSuchTable, QStringLiteral("The database '%1' has no table 'Nowhere'.").arg(path)},
        {QStringLiteral("ALTER table Config_Data  ALTER COLUMN  Nothing text(255) "),
         ErrorNumber::NoSuchColumn,
         QStringLiteral("The table 'Config_Data' of the database '%1' has no column 'Nothing'.").arg(path)},
        {QStringLiteral("Insert into config_data(config_head,nothing) values('a','b') "),
         ErrorNumber::NoSuchColumn,
         QStringLiteral("The table 'config_data' of the database '%1' has no column 'nothing'.").arg(path)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement.toStdString());
        const auto error = errorOf([&] { connection.execute(c.statement); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), c.number);
        EXPECT_EQ(error->description(), c.description);
    }
}

// Files made by another SQLCipher client (its command-line shell) open, and after the engine rebuilt a
// table the shell still opens them with the key: the engine writes nothing only it can read.
TEST_F(EngineSchemaChange, FilesOfTheSqlcipherShellOpenAndStayItsOwn)
{
    const ShellResult made = runSqlcipherShell(
        path,
        QStringLiteral("PRAGMA key='%1';\n"
                       "CREATE TABLE Config_Data (Config_Head text(50), Config_Value text(50));\n"
                       "CREATE INDEX HeadIndex ON Config_Data (Config_Head);\n"
                       "INSERT INTO Config_Data VALUES ('CurrentCompany', '3');\n"
                       "CREATE TABLE Company (COMPANY_ID SMALLINT PRIMARY KEY, COMPANY_NAME VARCHAR(255), "
                       "IS_SELECT SMALLINT);\n"
                       "INSERT INTO Company VALUES (3, 'บริษัท สาม', 0);\n")
            .arg(CommonPassword));
    ASSERT_EQ(made.exitCode, 0) << made.errors.toStdString();
    ASSERT_TRUE(QFile::exists(path));

    connection.open(jetConnectionString(path));
    EXPECT_EQ(configValueSize(), 50);
    EXPECT_EQ(column(QStringLiteral("select COMPANY_NAME from Company")),
              QStringList({QStringLiteral("บริษัท สาม")}));
    connection.execute(WidenConfigValue);
    connection.execute(AddDatabasePath);
    EXPECT_EQ(configValueSize(), 255);
    connection.close();

    const QByteArray bytes = fileBytes(path);
    EXPECT_FALSE(bytes.contains("Config_Data"));
    EXPECT_FALSE(bytes.contains("CurrentCompany"));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-journal")));

    const ShellResult read = runSqlcipherShell(
        path, QStringLiteral(
                  "PRAGMA key='%1';\nPRAGMA integrity_check;\n"
                  "SELECT sql FROM sqlite_master WHERE name IN ('Config_Data', 'HeadIndex') ORDER BY name;\n"
                  "SELECT * FROM Config_Data;\nSELECT COMPANY_ID, COMPANY_NAME, '[' || Database_Path || ']' "
                  "FROM Company;\n")
                  .arg(CommonPassword));
    EXPECT_EQ(read.exitCode, 0) << read.errors.toStdString();
    EXPECT_EQ(read.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList({QStringLiteral("ok"),
                           QStringLiteral(
                               "CREATE TABLE Config_Data (Config_Head text(50), Config_Value VARCHAR(255))"),
                           QStringLiteral("CREATE INDEX HeadIndex ON Config_Data (Config_Head)"),
                           QStringLiteral("CurrentCompany|3"), QStringLiteral("3|บริษัท สาม|[]")}));

    const ShellResult withoutKey =
        runSqlcipherShell(path, QStringLiteral("SELECT count(*) FROM sqlite_master;\n"));
    EXPECT_TRUE(withoutKey.errors.contains(QLatin1String("file is encrypted or is not a database")))
        << withoutKey.errors.toStdString();
}

} // namespace

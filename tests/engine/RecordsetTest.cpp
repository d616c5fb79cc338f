#include "engine/Recordset.h"

#include "tests/engine/EngineTestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace EngineTest;

const QString NoCurrentRecord =
    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                   "Requested operation requires a current record.");
const QString ItemNotFound =
    QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal.");

class EngineRecordset : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = folder.filePath(QStringLiteral("MCLarkspur.mdb"));
        makeDatabase(path, legacyMaster());
        connection.setCursorLocation(Ado::UseClient);
        connection.open(jetConnectionString(path));
    }

    void expectError(const std::function<void()>& body, long number, const QString& description)
    {
        const auto error = errorOf(body);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), number);
        EXPECT_EQ(error->description(), description);
    }

    QTemporaryDir folder;
    QString path;
    Connection connection;
};

TEST_F(EngineRecordset, AddNewOnATableWritesTheRowAndMakesItCurrent)
{
    Recordset rs;
    rs.open(QStringLiteral("Company"), connection, Ado::OpenDynamic, Ado::LockOptimistic);
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(rs.bof());
    expectError([&] { rs.value(QStringLiteral("COMPANY_NAME")); }, 3021, NoCurrentRecord);
    expectError([&] { rs.moveFirst(); }, 3021, NoCurrentRecord);

    const QString name = QStringLiteral("บริษัท ตัวอย่าง จำกัด");
    for (qlonglong id : {1, 2}) {
        rs.addNew();
        rs.setValue(QStringLiteral("COMPANY_ID"), QVariant::fromValue<qint16>(static_cast<qint16>(id)));
        rs.setValue(QStringLiteral("company_name"), name + QString::number(id));
        rs.setValue(QStringLiteral("COMPANY_PATH"), QString());
        rs.setValue(QStringLiteral("IS_SELECT"), 0);
        rs.setValue(QStringLiteral("DATABASE_NAME"), QStringLiteral("%1.mdb").arg(id));
        rs.update();
        EXPECT_EQ(rs.recordCount(), id);
        EXPECT_FALSE(rs.eof());
        EXPECT_EQ(rs.value(QStringLiteral("COMPANY_ID")), QVariant(id));
        EXPECT_EQ(rs.value(0).typeId(), QMetaType::LongLong);
        EXPECT_EQ(rs.value(QStringLiteral("Company_Name")).toString(), name + QString::number(id));
        EXPECT_FALSE(rs.value(QStringLiteral("IS_DELETED")).isValid()) << "never set: null";
    }
    rs.close();
    EXPECT_FALSE(rs.isOpen());

    Recordset again;
    again.open(QStringLiteral("select * from Company order by COMPANY_ID"), connection, Ado::OpenKeyset,
               Ado::LockOptimistic);
    ASSERT_EQ(again.recordCount(), 2);
    again.moveFirst();
    EXPECT_EQ(again.value(QStringLiteral("COMPANY_NAME")).toString(), name + QStringLiteral("1"));
    EXPECT_EQ(again.value(QStringLiteral("COMPANY_PATH")).toString(), QString());
    EXPECT_TRUE(again.value(QStringLiteral("COMPANY_PATH")).isValid()) << "empty text is not null";
    again.moveNext();
    EXPECT_EQ(again.value(QStringLiteral("DATABASE_NAME")).toString(), QStringLiteral("2.mdb"));
    again.moveNext();
    EXPECT_TRUE(again.eof());
    EXPECT_FALSE(again.bof());
    expectError([&] { again.value(0); }, 3021, NoCurrentRecord);
    expectError([&] { again.moveNext(); }, 3021, NoCurrentRecord);
}

TEST_F(EngineRecordset, UpdateChangesOnlyTheCurrentRowsChangedFields)
{
    connection.execute(
        QStringLiteral("Insert into config_data(config_head,config_value) values('DatabasePath','/srv') "));
    Recordset rs;
    rs.open(QStringLiteral("select * from Config_data  where Config_Head = 'CurrentCompany' "), connection,
            Ado::OpenKeyset, Ado::LockOptimistic);
    ASSERT_EQ(rs.recordCount(), 1);
    rs.moveFirst();
    rs.setValue(QStringLiteral("Config_value"), QString::number(7));
    EXPECT_EQ(rs.value(QStringLiteral("CONFIG_VALUE")).toString(), QStringLiteral("7"))
        << "pending value reads back";
    rs.update();
    rs.close();

    Recordset check;
    check.open(QStringLiteral("select * from Config_Data order by Config_Head"), connection);
    ASSERT_EQ(check.recordCount(), 2);
    EXPECT_EQ(check.value(1).toString(), QStringLiteral("7"));
    check.moveNext();
    EXPECT_EQ(check.value(QStringLiteral("Config_Value")).toString(), QStringLiteral("/srv"));

    // Released without update(): nothing is written.
    Recordset abandoned;
    abandoned.open(QStringLiteral("select * from Config_Data where config_head = 'CurrentCompany' "),
                   connection);
    abandoned.setValue(QStringLiteral("Config_Value"), QStringLiteral("8"));
    abandoned.close();
    Recordset unchanged;
    unchanged.open(QStringLiteral("select * from Config_Data where config_head = 'CurrentCompany' "),
                   connection);
    EXPECT_EQ(unchanged.value(QStringLiteral("Config_Value")).toString(), QStringLiteral("7"));
}

// A row that another connection deleted after the recordset read it is not written back into being.
TEST_F(EngineRecordset, UpdatingARowThatAnotherConnectionDeletedFailsAndAddsNothing)
{
    Recordset rs;
    rs.open(QStringLiteral("select * from Config_Data where Config_Head = 'CurrentCompany'"), connection,
            Ado::OpenKeyset, Ado::LockOptimistic);
    ASSERT_EQ(rs.recordCount(), 1);
    {
        Connection other;
        other.open(jetConnectionString(path));
        other.execute(QStringLiteral("delete from Config_Data where Config_Head = 'CurrentCompany'"));
    }

    rs.setValue(QStringLiteral("Config_Value"), QStringLiteral("9"));
    expectError([&] { rs.update(); }, ErrorNumber::Unspecified,
                QStringLiteral("The row to be changed in the table 'Config_Data' of the database '%1' no "
                               "longer exists; another user may have deleted it.")
                    .arg(path));
    rs.close();

    Recordset check;
    check.open(QStringLiteral("select * from Config_Data"), connection);
    EXPECT_EQ(check.recordCount(), 0);
}

TEST_F(EngineRecordset, FieldsByNameOrPositionWithTheirDefinedSizes)
{
    Recordset rs;
    rs.open(QStringLiteral("select * from Company"), connection);
    ASSERT_EQ(rs.fieldCount(), 6);
    EXPECT_EQ(rs.fieldName(1), QStringLiteral("COMPANY_NAME"));
    EXPECT_EQ(rs.definedSize(0), 2);
    EXPECT_EQ(rs.definedSize(QStringLiteral("company_name")), 255);
    expectError([&] { rs.value(QStringLiteral("NO_SUCH_FIELD")); }, 3265, ItemNotFound);
    expectError([&] { rs.value(6); }, 3265, ItemNotFound);
    expectError([&] { rs.definedSize(QStringLiteral("Database_Path")); }, 3265, ItemNotFound);

    Recordset top;
    top.open(QStringLiteral("select  top 1 Config_Value from Config_Data"), connection, Ado::Unspecified,
             Ado::Unspecified);
    ASSERT_EQ(top.fieldCount(), 1);
    EXPECT_EQ(top.definedSize(0), 50);
    EXPECT_EQ(top.recordCount(), 1);
    connection.execute(
        QStringLiteral("Insert into config_data(config_head,config_value) values('UseDefaultPath','1') "));
    top.open(QStringLiteral("select  top 1 Config_Value from Config_Data"), connection);
    EXPECT_EQ(top.recordCount(), 1) << "top 1 of two rows";
    expectError(
        [&] { top.setValue(QStringLiteral("Config_Value"), QStringLiteral("x")); }, 3251,
        QStringLiteral("Current Recordset does not support updating. Only a table, or \"select * from\" one "
                       "table, can be changed through a recordset."));
}

TEST_F(EngineRecordset, AnyRowIsReadByPositionWithoutMoving)
{
    for (int id : {3, 1, 2})
        connection.execute(
            QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME) values (%1, 'c%1')").arg(id));
    Recordset rs;
    rs.open(QStringLiteral("select * from Company order by COMPANY_ID"), connection);
    ASSERT_EQ(rs.recordCount(), 3);
    const int name = rs.indexOf(QStringLiteral("company_name"));
    EXPECT_EQ(name, 1);
    for (int row : {2, 0, 1}) {
        EXPECT_EQ(rs.valueAt(row, 0), QVariant(qlonglong(row + 1)));
        EXPECT_EQ(rs.valueAt(row, name), QVariant(QStringLiteral("c%1").arg(row + 1)));
    }
    EXPECT_EQ(rs.value(0), QVariant(qlonglong(1))) << "the current row stays where it was";
    rs.moveNext();
    rs.setValue(QStringLiteral("COMPANY_NAME"), QStringLiteral("pending"));
    EXPECT_EQ(rs.valueAt(1, name), QVariant(QStringLiteral("c2"))) << "as read, without pending changes";

    expectError([&] { rs.indexOf(QStringLiteral("NO_SUCH_FIELD")); }, 3265, ItemNotFound);
    expectError([&] { rs.valueAt(0, 6); }, 3265, ItemNotFound);
    expectError([&] { rs.valueAt(0, -1); }, 3265, ItemNotFound);
    expectError([&] { rs.valueAt(3, 0); }, 3021, NoCurrentRecord);
    expectError([&] { rs.valueAt(-1, 0); }, 3021, NoCurrentRecord);
}

TEST_F(EngineRecordset, MaxOverAnEmptyTableIsNull)
{
    Recordset rs;
    rs.open(QStringLiteral("select MAX(COMPANY_ID) from COMPANY"), connection, Ado::OpenForwardOnly,
            Ado::LockOptimistic);
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_FALSE(rs.value(0).isValid());
    EXPECT_EQ(rs.definedSize(0), 0);

    for (int id : {1, 2, 9})
        connection.execute(
            QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME) values (%1, 'c')").arg(id));
    rs.open(QStringLiteral("select MAX(COMPANY_ID) from COMPANY"), connection);
    EXPECT_EQ(rs.value(0), QVariant(qlonglong(9)));
}

TEST_F(EngineRecordset, TextLongerThanItsColumnIsRefusedOnEveryPath)
{
    const QString fits = QString(50, QChar(0x0E01)); // 50 Thai characters: 150 bytes, still 50 characters
    const QString tooLong = QString(51, QLatin1Char('x'));
    const QString refused = QStringLiteral("The text for the column 'Config_Value' of the table "
                                           "'Config_Data' is longer than its defined size of 50 "
                                           "characters.");

    struct Case
    {
        const char* label;
        std::function<void(const QString&)> write;
    };
    const Case cases[] = {
        {"recordset update",
         [&](const QString& text) {
             Recordset rs;
             rs.open(QStringLiteral("select * from Config_Data where config_head = 'CurrentCompany' "),
                     connection);
             rs.setValue(QStringLiteral("Config_Value"), text);
             rs.update();
         }},
        {"recordset add new",
         [&](const QString& text) {
             Recordset rs;
             rs.open(QStringLiteral("Config_Data"), connection);
             rs.addNew();
             rs.setValue(QStringLiteral("Config_Head"), QStringLiteral("added"));
             rs.setValue(QStringLiteral("Config_Value"), text);
             rs.update();
         }},
        {"execute insert",
         [&](const QString& text) {
             connection.execute(
                 QStringLiteral(
                     "Insert into config_data(config_head,config_value) values('DatabasePath','%1') ")
                     .arg(text));
         }},
        {"execute update",
         [&](const QString& text) {
             connection.execute(QStringLiteral("update Config_Data set Config_Value = '%1'").arg(text));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto error = errorOf([&] { c.write(tooLong); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), ErrorNumber::TextTooLong);
        EXPECT_EQ(error->description(), refused);
        EXPECT_NO_THROW(c.write(fits));
    }
    Recordset rs;
    rs.open(QStringLiteral("select count(*) from Config_Data where length(Config_Value) > 50"), connection);
    EXPECT_EQ(rs.value(0), QVariant(qlonglong(0)));
    rs.open(QStringLiteral("select count(*) from Config_Data where Config_Value = '%1'").arg(fits),
            connection);
    EXPECT_EQ(rs.value(0), QVariant(qlonglong(3))) << "the last update reached all three rows";
}

TEST_F(EngineRecordset, RowsStayReadableAfterTheConnectionClosesButCannotBeChanged)
{
    Recordset rs;
    rs.open(QStringLiteral("select * from Config_Data"), connection);
    connection.close();
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.value(QStringLiteral("Config_Head")).toString(), QStringLiteral("CurrentCompany"));
    rs.setValue(QStringLiteral("Config_Value"), QStringLiteral("3"));
    expectError([&] { rs.update(); }, 3704,
                QStringLiteral("Operation is not allowed when the object is closed."));
    expectError([&] { Recordset().open(QStringLiteral("Company"), connection); }, 3704,
                QStringLiteral("Operation is not allowed when the object is closed."));
}

// 32767 companies is the most the launcher can number; the length guards must stay cheap at that size.
TEST_F(EngineRecordset, ManyRowsAreWrittenAndReadWithTheGuardsInPlace)
{
    connection.beginTrans();
    connection.execute(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 32767) "
                       "INSERT INTO Company (COMPANY_ID, COMPANY_NAME, DATABASE_NAME) SELECT i, 'Company ' "
                       "|| i, i || '.mdb' FROM n"));
    connection.execute(QStringLiteral("update Company set COMPANY_PATH = ''"));
    connection.commitTrans();
    const auto error = errorOf([&] {
        connection.execute(QStringLiteral("update Company set COMPANY_NAME = COMPANY_NAME || '%1'")
                               .arg(QString(246, QLatin1Char('x'))));
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ErrorNumber::TextTooLong) << "'Company 10000' plus 246 is 259 characters";

    Recordset rs;
    rs.open(QStringLiteral("select * from Company order by COMPANY_ID"), connection);
    ASSERT_EQ(rs.recordCount(), 32767);
    rs.moveFirst();
    for (int i = 1; i < 32767; ++i)
        rs.moveNext();
    EXPECT_EQ(rs.value(QStringLiteral("COMPANY_NAME")).toString(), QStringLiteral("Company 32767"));
    rs.setValue(QStringLiteral("COMPANY_NAME"), QStringLiteral("Last"));
    rs.update();
    Recordset check;
    check.open(QStringLiteral("select COMPANY_NAME from Company where COMPANY_ID = 32767"), connection);
    EXPECT_EQ(check.value(0).toString(), QStringLiteral("Last"));
}

} // namespace

#include "engine/DataLinkFile.h"
#include "engine/SqlDialect.h"
#include "tests/engine/EngineTestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace EngineTest;

TEST(EngineConnectionString, ParsesKeysWithoutCaseAndValuesInTheirQuotingForms)
{
    const ConnectionString parsed = ConnectionString::parse(
        QStringLiteral(" Provider = Microsoft.Jet.OLEDB.4.0 ;DATA SOURCE=\"/d/a;b \"\"c\"\".mdb\";"
                       "Mode=Share Deny None;Jet OLEDB:Database Password='it''s';Empty=;x=a=b;"));
    EXPECT_EQ(parsed.value(QStringLiteral("provider")), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(parsed.value(QStringLiteral("Data Source")), QStringLiteral("/d/a;b \"c\".mdb"));
    EXPECT_EQ(parsed.value(QStringLiteral("mode")), QStringLiteral("Share Deny None"));
    EXPECT_EQ(parsed.value(QStringLiteral("JET OLEDB:DATABASE PASSWORD")), QStringLiteral("it's"));
    EXPECT_TRUE(parsed.contains(QStringLiteral("empty")));
    EXPECT_EQ(parsed.value(QStringLiteral("empty")), QString());
    EXPECT_EQ(parsed.value(QStringLiteral("x")), QStringLiteral("a=b"));
    EXPECT_FALSE(parsed.contains(QStringLiteral("User ID")));
}

TEST(EngineConnectionString, RefusesTextThatIsNotKeyValuePairs)
{
    for (const QString& text :
         {QString(), QStringLiteral("  "), QStringLiteral("Provider"), QStringLiteral("=value"),
          QStringLiteral("a=\"open"), QStringLiteral("a='x' y")}) {
        SCOPED_TRACE(text.toStdString());
        const auto error = errorOf([&] { ConnectionString::parse(text); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), ErrorNumber::Unspecified);
        EXPECT_TRUE(error->description().startsWith(QStringLiteral("The connection string is not valid")));
    }
}

TEST(EngineConnectionString, QuotesOnlyWhenNeededAndRoundTrips)
{
    struct Case
    {
        QString value;
        QString quoted;
    };
    const Case cases[] = {
        {QStringLiteral("/srv/app/MCLarkspur.mdb"), QStringLiteral("/srv/app/MCLarkspur.mdb")},
        {QStringLiteral("a=b"), QStringLiteral("a=b")},
        {QStringLiteral("/บริษัท/ข้อมูล.mdb"), QStringLiteral("/บริษัท/ข้อมูล.mdb")},
        {QStringLiteral("in side"), QStringLiteral("in side")},
        {QString(), QString()},
        {QStringLiteral("a;b"), QStringLiteral("\"a;b\"")},
        {QStringLiteral(" lead"), QStringLiteral("\" lead\"")},
        {QStringLiteral("trail "), QStringLiteral("\"trail \"")},
        {QStringLiteral("it's"), QStringLiteral("\"it's\"")},
        {QStringLiteral("say \"hi\""), QStringLiteral("'say \"hi\"'")},
        {QStringLiteral("both ' and \";"), QStringLiteral("\"both ' and \"\";\"")},
        {QStringLiteral("'"), QStringLiteral("\"'\"")},
        {QStringLiteral("\""), QStringLiteral("'\"'")},
        {QStringLiteral(" /ที่ 'x' \"y\"; z "), QStringLiteral("\" /ที่ 'x' \"\"y\"\"; z \"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        const QString quoted = ConnectionString::quoteValue(c.value);
        EXPECT_EQ(quoted, c.quoted);
        const ConnectionString parsed =
            ConnectionString::parse(QStringLiteral("Provider=x;Data Source=%1;Mode=Read").arg(quoted));
        EXPECT_EQ(parsed.value(QStringLiteral("Data Source")), c.value);
        EXPECT_EQ(parsed.value(QStringLiteral("Mode")), QStringLiteral("Read"));
    }
}

TEST(EngineDataLinkFile, ReadsTheConnectionStringLine)
{
    QTemporaryDir folder;
    const QString connection =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/ที่เก็บ/MCLarkspur.mdb;Persist Security "
                       "Info=False;Jet OLEDB:Database Password=%1;Jet OLEDB:Engine Type=5")
            .arg(CommonPassword);
    struct Case
    {
        const char* label;
        QString text;
    };
    const Case cases[] = {
        {"as written by the launcher",
         QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n%1\r\n")
             .arg(connection)},
        {"line feeds only, no final break", QStringLiteral("[oledb]\n; comment\n%1").arg(connection)},
        {"blank lines and upper case",
         QStringLiteral("\r\n[OLEDB]\r\n\r\n;one\r\n  ; two\r\n%1\r\n").arg(connection)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const QString path = folder.filePath(QStringLiteral("MCdatalink.udl"));
        writeBytes(path, Fixtures::utf16le(c.text));
        EXPECT_EQ(DataLinkFile::readConnectionString(path), connection);
    }
}

TEST(EngineDataLinkFile, NamesTheFileAndTheFaultOfAMalformedOne)
{
    QTemporaryDir folder;
    const QString good =
        QStringLiteral("[oledb]\r\n; c\r\nProvider=Microsoft.Jet.OLEDB.4.0;Data Source=/x\r\n");
    struct Case
    {
        const char* label;
        std::optional<QByteArray> bytes; // none: the file is missing
        const char* fault;
    };
    const Case cases[] = {
        {"missing", std::nullopt, "does not exist"},
        {"empty", QByteArray(), "is empty"},
        {"UTF-8 without mark", good.toUtf8(), "lacks the byte-order mark FF FE"},
        {"big-endian mark", QByteArray("\xFE\xFF\x00[", 4), "lacks the byte-order mark FF FE"},
        {"odd byte count", Fixtures::utf16le(good) + QByteArray(1, 'x'), "odd number of bytes"},
        {"no [oledb]",
         Fixtures::utf16le(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x\r\n")),
         "does not start with the line [oledb]"},
        {"only the mark", Fixtures::utf16le(QString()), "lacks the line [oledb]"},
        {"no connection string", Fixtures::utf16le(QStringLiteral("[oledb]\r\n; only a comment\r\n\r\n")),
         "holds no connection string"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const QString path = folder.filePath(QStringLiteral("case %1.udl").arg(c.label));
        if (c.bytes)
            writeBytes(path, *c.bytes);
        const auto error = errorOf([&] { DataLinkFile::readConnectionString(path); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), ErrorNumber::Unspecified);
        EXPECT_TRUE(error->description().startsWith(QStringLiteral("The data-link file %1 ").arg(path)))
            << error->description().toStdString();
        EXPECT_TRUE(error->description().contains(QLatin1String(c.fault)))
            << error->description().toStdString();
    }
}

TEST(EngineSqlDialect, TranslatesTheJetFormsTheProgramsUse)
{
    struct Case
    {
        QString jet;
        QString sqlite;
    };
    const Case cases[] = {
        {QStringLiteral("select  top 1 Config_Value from Config_Data"),
         QStringLiteral("SELECT Config_Value from Config_Data LIMIT 1")},
        {QStringLiteral("select top 1 * from Company order by COMPANY_ID "),
         QStringLiteral("SELECT * from Company order by COMPANY_ID LIMIT 1")},
        {QStringLiteral("SELECT TOP 25 a FROM t WHERE b = 'top 3'"),
         QStringLiteral("SELECT a FROM t WHERE b = 'top 3' LIMIT 25")},
        {QStringLiteral("ALTER table Company Add Database_Path Varchar(255)  WITH COMPRESSION NOT NULL "),
         QStringLiteral("ALTER TABLE Company ADD COLUMN Database_Path VARCHAR(255) NOT NULL DEFAULT ''")},
        {QStringLiteral("alter table T add N smallint not null"),
         QStringLiteral("ALTER TABLE T ADD COLUMN N SMALLINT not null DEFAULT 0")},
        {QStringLiteral("CREATE TABLE t (a text(50) WITH COMP, b TEXT, c LONG, d BYTE, e MEMO, f DATETIME, "
                        "g CURRENCY, h YESNO, i SMALLINT NOT NULL DEFAULT 0, j varchar(10) default 'x, y', "
                        "CONSTRAINT pk PRIMARY KEY (c))"),
         QStringLiteral("CREATE TABLE t (a VARCHAR(50), b VARCHAR(255), c INTEGER, d TINYINT, e LONGTEXT, "
                        "f DATETIME, g CURRENCY, h BIT, i SMALLINT NOT NULL DEFAULT 0, j VARCHAR(10) default "
                        "'x, y', CONSTRAINT pk PRIMARY KEY (c))")},
        {QStringLiteral("select  count(Database_Path) from Company"),
         QStringLiteral("select  count(Database_Path) from Company")},
        {QStringLiteral("Insert into config_data(config_head,config_value) values('UseDefaultPath','1') "),
         QStringLiteral("Insert into config_data(config_head,config_value) values('UseDefaultPath','1')")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SqlDialect::translate(c.jet), c.sqlite) << c.jet.toStdString();
}

TEST(EngineSqlDialect, RecognisesAlterColumn)
{
    SqlDialect::AlterColumn alter;
    ASSERT_TRUE(SqlDialect::parseAlterColumn(
        QStringLiteral("ALTER table Config_Data  ALTER COLUMN  Config_Value text(255) "), alter));
    EXPECT_EQ(alter.table, QStringLiteral("Config_Data"));
    EXPECT_EQ(alter.column, QStringLiteral("Config_Value"));
    EXPECT_EQ(alter.newType, QStringLiteral("VARCHAR(255)"));
    EXPECT_FALSE(SqlDialect::parseAlterColumn(
        QStringLiteral("ALTER table Company Add Database_Path Varchar(255)"), alter));
}

TEST(EngineSqlDialect, DefinedSizesFollowTheDeclaredType)
{
    struct Case
    {
        QString type;
        int size;
        int limit;
    };
    const Case cases[] = {
        {QStringLiteral("VARCHAR(50)"), 50, 50},
        {QStringLiteral("varchar (255)"), 255, 255},
        {QStringLiteral("text(100)"), 100, 100},
        {QStringLiteral("TEXT"), 255, 255},
        {QStringLiteral("CHAR(8)"), 8, 8},
        {QStringLiteral("SMALLINT"), 2, 0},
        {QStringLiteral("INTEGER"), 4, 0},
        {QStringLiteral("LONG"), 4, 0},
        {QStringLiteral("TINYINT"), 1, 0},
        {QStringLiteral("DATETIME"), 8, 0},
        {QStringLiteral("CURRENCY"), 8, 0},
        {QStringLiteral("BIT"), 2, 0},
        {QStringLiteral("DOUBLE"), 8, 0},
        {QStringLiteral("LONGTEXT"), 536870910, 0},
        {QString(), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        EXPECT_EQ(SqlDialect::definedSizeOf(c.type), c.size);
        EXPECT_EQ(SqlDialect::textLimitOf(c.type), c.limit);
    }
}

} // namespace

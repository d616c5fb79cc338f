#include "tests/jetimport/JetImportFixture.h"

#include "engine/Connection.h"
#include "engine/DatabaseFile.h"
#include "engine/Recordset.h"
#include "engine/Sqlite.h"
#include "maintenance/jetimport/TableDdl.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace JetImportFixture;
using JetImport::ColumnKind;

namespace {

JetImport::JetColumn column(const QString& name, ColumnKind kind, int size = 0)
{
    JetImport::JetColumn result;
    result.name = name;
    result.kind = kind;
    result.size = size;
    return result;
}

class TableDdlTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString database = dir.filePath(QStringLiteral("ddl.db"));
    Connection connection;

    void SetUp() override
    {
        DatabaseFile::create(database, Password);
        connection.open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database "
                                       "Password=%2")
                            .arg(database, Password));
    }
    void make(const JetImport::TableDdl& ddl)
    {
        Sqlite::exec(connection.handle(), ddl.createTable, database);
        for (const QString& statement : ddl.afterRows)
            Sqlite::exec(connection.handle(), statement, database);
        connection.schemaChanged();
    }
};

TEST_F(TableDdlTest, NamesWithBlanksQuotesBracketsAndThaiLettersSurvive)
{
    JetImport::JetTable table;
    table.name = QStringLiteral("Bank \"Main\" [2] บัญชี");
    table.columns = {column(QStringLiteral("Account No"), ColumnKind::Counter),
                     column(QStringLiteral("Name's \"short\""), ColumnKind::Text, 40),
                     column(QStringLiteral("[Amount]"), ColumnKind::Currency),
                     column(QStringLiteral("วันที่"), ColumnKind::DateTime)};
    table.indexes = {{QStringLiteral("PrimaryKey"), {{0, false}}, true, true},
                     {QStringLiteral("Name \"unique\""), {{1, false}}, false, true},
                     {QStringLiteral("ตามวันที่"), {{3, true}, {2, false}}, false, false}};
    const auto ddl = JetImport::tableDdl(table);
    EXPECT_EQ(ddl.rowKeyColumn, 0);
    make(ddl);

    const QStringList info =
        shellLines(database, QStringLiteral("PRAGMA table_info(\"Bank \"\"Main\"\" [2] บัญชี\");"));
    EXPECT_EQ(info, (QStringList{QStringLiteral("0|Account No|INTEGER|0||1"),
                                 QStringLiteral("1|Name's \"short\"|VARCHAR(40)|0||0"),
                                 QStringLiteral("2|[Amount]|CURRENCY|0||0"),
                                 QStringLiteral("3|วันที่|DATETIME|0||0")}));
    EXPECT_EQ(shellLines(database, QStringLiteral(
                                       "SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name;")),
              (QStringList{QStringLiteral("Bank \"Main\" [2] บัญชี.Name \"unique\""),
                           QStringLiteral("Bank \"Main\" [2] บัญชี.ตามวันที่")}));

    // The unique index holds, and the engine reads the table by its name.
    const QString insert =
        QStringLiteral("INSERT INTO \"Bank \"\"Main\"\" [2] บัญชี\" (\"Name's \"\"short\"\"\") VALUES ('A')");
    connection.execute(insert);
    EXPECT_ANY_THROW(connection.execute(insert));
    Recordset rows;
    rows.open(QStringLiteral("select * from \"Bank \"\"Main\"\" [2] บัญชี\""), connection);
    ASSERT_EQ(rows.recordCount(), 1);
    EXPECT_EQ(rows.value(0).toLongLong(), 1);
    EXPECT_EQ(rows.definedSize(1), 40);
}

TEST_F(TableDdlTest, ACounterBesideAnotherKeyNumbersOnItsOwn)
{
    JetImport::JetTable table;
    table.name = QStringLiteral("Lines");
    table.columns = {column(QStringLiteral("Journal"), ColumnKind::Text, 10),
                     column(QStringLiteral("Line"), ColumnKind::Counter),
                     column(QStringLiteral("Memo"), ColumnKind::Memo)};
    table.indexes = {{QStringLiteral("PrimaryKey"), {{0, false}}, true, true}};
    const auto ddl = JetImport::tableDdl(table);
    EXPECT_EQ(ddl.rowKeyColumn, -1);
    make(ddl);
    connection.execute(QStringLiteral("INSERT INTO Lines (Journal, Line) VALUES ('J1', 41)"));
    connection.execute(QStringLiteral("INSERT INTO Lines (Journal) VALUES ('J2')"));
    connection.execute(QStringLiteral("INSERT INTO Lines (Journal) VALUES ('J3')"));
    EXPECT_EQ(shellLines(database, QStringLiteral("SELECT Journal, Line FROM Lines ORDER BY Journal;")),
              (QStringList{QStringLiteral("J1|41"), QStringLiteral("J2|42"), QStringLiteral("J3|43")}));
}

} // namespace

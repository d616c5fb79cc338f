#include "tests/jetimport/JetImportFixture.h"

#include "base/AppError.h"
#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "maintenance/jetimport/DatabaseImport.h"
#include "maintenance/jetimport/JetDatabase.h"
#include "tests/jetimport/ManyRowJetFile.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace JetImportFixture;

namespace {

QString connectionTo(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(path, Password);
}

// mdb-count, from Debian's mdbtools, counts a table's rows without this program's reader.
qint64 mdbCount(const QString& file, const QString& table)
{
    QProcess count;
    count.start(QStringLiteral("mdb-count"), {file, table});
    count.waitForFinished(30000);
    bool ok = false;
    const qint64 rows = count.readAllStandardOutput().trimmed().toLongLong(&ok);
    return ok ? rows : -1;
}

class DatabaseImportTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(DatabaseImportTest, Jet3NorthwindKeepsEveryTableAndRow)
{
    const QString source = copySample(dir.path(), QStringLiteral("nwind.mdb"));
    const QByteArray before = [&] {
        QFile f(source);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const QDateTime modified = QFileInfo(source).lastModified();

    const auto report = JetImport::importDatabase(source, path(QStringLiteral("nwind.db")), options());

    EXPECT_EQ(report.format.toStdString(), "Jet 3");
    EXPECT_EQ(report.tables, 9);
    const QStringList tables = {
        QStringLiteral("Order Details"), QStringLiteral("Orders"),     QStringLiteral("Products"),
        QStringLiteral("Shippers"),      QStringLiteral("Categories"), QStringLiteral("Customers"),
        QStringLiteral("Employees"),     QStringLiteral("Suppliers"),  QStringLiteral("Umsätze")};
    qint64 total = 0;
    for (const QString& table : tables) {
        const qint64 expected = mdbCount(source, table);
        ASSERT_GT(expected, 0) << table.toStdString();
        total += expected;
        EXPECT_EQ(shellLines(path(QStringLiteral("nwind.db")),
                             QStringLiteral("SELECT count(*) FROM \"%1\";").arg(table)),
                  QStringList{QString::number(expected)})
            << table.toStdString();
    }
    EXPECT_EQ(report.rows, total);
    // Saved queries and relationships are named in the report, not dropped silently.
    EXPECT_TRUE(report.notConverted.contains(QStringLiteral("saved query 'Invoices'")));
    EXPECT_TRUE(report.notConverted.contains(QStringLiteral("relationship 'CustomersOrders'")));

    // The source is only read.
    QFile after(source);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_TRUE(after.readAll() == before);
    EXPECT_EQ(QFileInfo(source).lastModified(), modified);
    EXPECT_EQ(entries(dir.path()), (QStringList{QStringLiteral("nwind.db"), QStringLiteral("nwind.mdb")}));
}

TEST_F(DatabaseImportTest, Jet3ColumnTypesAreTheEnginesJetTypes)
{
    const QString source = copySample(dir.path(), QStringLiteral("nwind.mdb"));
    const QString target = path(QStringLiteral("nwind.db"));
    JetImport::importDatabase(source, target, options());

    EXPECT_EQ(shellLines(target, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'Orders';")),
              QStringList{QStringLiteral(
                  "CREATE TABLE \"Orders\" (\"OrderID\" INTEGER PRIMARY KEY AUTOINCREMENT, \"CustomerID\" "
                  "VARCHAR(5), \"EmployeeID\" INTEGER, \"OrderDate\" DATETIME, \"RequiredDate\" DATETIME, "
                  "\"ShippedDate\" DATETIME, \"ShipVia\" INTEGER, \"Freight\" CURRENCY, \"ShipName\" "
                  "VARCHAR(40), \"ShipAddress\" VARCHAR(60), \"ShipCity\" VARCHAR(15), \"ShipRegion\" "
                  "VARCHAR(15), \"ShipPostalCode\" VARCHAR(10), \"ShipCountry\" VARCHAR(15))")});
    EXPECT_EQ(
        shellLines(target, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'Order Details';")),
        QStringList{QStringLiteral(
            "CREATE TABLE \"Order Details\" (\"OrderID\" INTEGER, \"ProductID\" INTEGER, \"UnitPrice\" "
            "CURRENCY, \"Quantity\" SMALLINT, \"Discount\" REAL, PRIMARY KEY (\"OrderID\", "
            "\"ProductID\"))")});
    EXPECT_EQ(shellLines(target, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'Categories';")),
              QStringList{QStringLiteral("CREATE TABLE \"Categories\" (\"CategoryID\" INTEGER PRIMARY KEY "
                                         "AUTOINCREMENT, \"CategoryName\" VARCHAR(15), \"Description\" "
                                         "LONGTEXT, \"Picture\" BLOB)")});
    // The other indexes, unique ones as unique.
    EXPECT_EQ(shellLines(target, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                                "tbl_name = 'Products' ORDER BY name;")),
              (QStringList{QStringLiteral("Products.CategoryID"), QStringLiteral("Products.ProductName"),
                           QStringLiteral("Products.SupplierID")}));

    // The engine sees the defined sizes the Jet program saw.
    Connection connection;
    connection.open(connectionTo(target));
    Recordset orders;
    orders.open(QStringLiteral("select * from Orders where OrderID = 10248"), connection);
    ASSERT_EQ(orders.recordCount(), 1);
    EXPECT_EQ(orders.definedSize(QStringLiteral("CustomerID")), 5);
    EXPECT_EQ(orders.definedSize(QStringLiteral("ShipName")), 40);
    EXPECT_EQ(orders.definedSize(QStringLiteral("Freight")), 8);
    EXPECT_EQ(orders.definedSize(QStringLiteral("OrderDate")), 8);
    EXPECT_EQ(orders.value(QStringLiteral("CustomerID")).toString().toStdString(), "VINET");
    EXPECT_EQ(orders.value(QStringLiteral("Freight")).toDouble(), 32.38);
    EXPECT_EQ(orders.value(QStringLiteral("OrderDate")).toString().toStdString(), "1994-08-04 00:00:00");
}

TEST_F(DatabaseImportTest, Jet3ValuesOfEveryKindAreExact)
{
    const QString source = copySample(dir.path(), QStringLiteral("nwind.mdb"));
    const QString target = path(QStringLiteral("nwind.db"));
    JetImport::importDatabase(source, target, options());

    struct Case
    {
        const char* sql;
        const char* expected;
    };
    const Case cases[] = {
        // Currency, Single, SmallInt in one row of a two-column key
        {"SELECT UnitPrice, Quantity, Discount FROM \"Order Details\" WHERE OrderID = 10248 AND ProductID = "
         "11;",
         "14|12|0.0"},
        {"SELECT typeof(Freight), Freight FROM Orders WHERE OrderID = 10249;", "real|11.61"},
        // Yes/No is -1 or 0
        {"SELECT count(*) FROM Products WHERE Discontinued = -1;", "8"},
        {"SELECT count(*) FROM Products WHERE Discontinued NOT IN (0, -1);", "0"},
        // Null stays Null, an empty text stays empty
        {"SELECT count(*) FROM Orders WHERE ShipRegion IS NULL;", "507"},
        // Western text of the file's code page, and CR LF inside a text
        {"SELECT ShipAddress FROM Orders WHERE OrderID = 10268;", "5ª Ave. Los Palos Grandes"},
        {"SELECT ShipAddress FROM Orders WHERE OrderID = 10283;",
         "Carrera 52 con Ave. Bolívar #65-98 Llano Largo"},
        {"SELECT hex(Address) FROM Employees WHERE EmployeeID = 1;", "353037202D2032307468204176652E"
                                                                     "20452E0D0A4170742E203241"},
        // memo text and OLE bytes
        {"SELECT length(Notes) FROM Employees WHERE EmployeeID = 2;", "448"},
        {"SELECT typeof(Picture), length(Picture), hex(substr(Picture, 1, 2)) FROM Categories WHERE "
         "CategoryID = 1;",
         "blob|10746|151C"},
        {"SELECT OrderDate, ShippedDate FROM Orders WHERE OrderID = 10248;",
         "1994-08-04 00:00:00|1994-08-16 00:00:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shellLines(target, QString::fromUtf8(c.sql)), QStringList{QString::fromUtf8(c.expected)})
            << c.sql;
}

TEST_F(DatabaseImportTest, CountersNumberOnAfterTheHighest)
{
    const QString source = copySample(dir.path(), QStringLiteral("nwind.mdb"));
    const QString target = path(QStringLiteral("nwind.db"));
    JetImport::importDatabase(source, target, options());

    Connection connection;
    connection.open(connectionTo(target));
    connection.execute(
        QStringLiteral("INSERT INTO Shippers (CompanyName, Phone) VALUES ('Larkspur Post', '1')"));
    connection.execute(QStringLiteral("DELETE FROM Shippers WHERE ShipperID = 4"));
    connection.execute(
        QStringLiteral("INSERT INTO Shippers (CompanyName, Phone) VALUES ('Second Post', '2')"));
    connection.close();
    // Jet never gives a number twice, even after the row that had it went.
    EXPECT_EQ(shellLines(target,
                         QStringLiteral("SELECT ShipperID, CompanyName FROM Shippers WHERE ShipperID > 3;")),
              QStringList{QStringLiteral("5|Second Post")});
}

TEST_F(DatabaseImportTest, Jet4DatesOutsideTheCommonRangeAndLineBreaks)
{
    const QString source = copySample(dir.path(), QStringLiteral("DateTestDatabase.mdb"));
    const QString target = path(QStringLiteral("dates.db"));
    const auto report = JetImport::importDatabase(source, target, options());
    EXPECT_EQ(report.format.toStdString(), "Jet 4");
    EXPECT_EQ(report.rows, 6);

    EXPECT_EQ(
        shellLines(target, QStringLiteral(
                               "SELECT IDCol, DateTimeCol, DateCol, TimeCol FROM DateTest ORDER BY IDCol;")),
        (QStringList{QStringLiteral("1|2021-12-02 00:00:00|2021-12-02 00:00:00|2021-12-02 00:00:00"),
                     QStringLiteral("2|9999-01-01 00:00:00|9999-01-01 00:00:00|9999-01-01 00:00:00"),
                     QStringLiteral("3|1898-01-01 00:00:00|1899-01-01 00:00:00|1900-01-01 00:00:00"),
                     QStringLiteral("4|0632-01-01 00:00:00|0633-01-01 00:00:00|0634-01-01 00:00:00"),
                     QStringLiteral("5|2021-12-02 00:00:00|2021-12-02 00:00:00|2021-12-02 00:00:00"),
                     QStringLiteral("6|2021-12-02 00:00:00|2021-12-02 00:00:00|2021-12-02 00:00:00")}));
    EXPECT_EQ(shellLines(target, QStringLiteral("SELECT hex(LongTextCol) FROM DateTest WHERE IDCol = 6;")),
              QStringList{QString::fromLatin1(QByteArray("New line\r\nin field").toHex().toUpper())});
}

TEST_F(DatabaseImportTest, AceFileIsConvertedWhereItCanBeRead)
{
    const QString source = copySample(dir.path(), QStringLiteral("ASampleDatabase.accdb"));
    const QString target = path(QStringLiteral("assets.db"));
    const auto report = JetImport::importDatabase(source, target, options());
    EXPECT_EQ(report.format.toStdString(), "ACE 12");
    EXPECT_EQ(report.rows, mdbCount(source, QStringLiteral("Asset Items")));
    EXPECT_EQ(
        shellLines(target, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'Asset Items';")),
        QStringList{QStringLiteral(
            "CREATE TABLE \"Asset Items\" (\"Asset No\" VARCHAR(5), \"Asset Category\" VARCHAR(20), \"Make\" "
            "VARCHAR(25), \"Model\" VARCHAR(25), \"Description\" VARCHAR(40), \"Owner\" VARCHAR(20), "
            "\"Serial "
            "No\" VARCHAR(15), \"Acquired\" DATETIME, \"Cost\" CURRENCY, \"Warranty\" INTEGER, \"Tax Scale\" "
            "VARCHAR(1), \"Supplier No\" VARCHAR(5), \"Comments\" LONGTEXT, PRIMARY KEY (\"Asset No\"))")});
}

TEST_F(DatabaseImportTest, TheEngineNamesTheImportForAJetFileItIsAskedToOpen)
{
    const QString source = copySample(dir.path(), QStringLiteral("DateTestDatabase.mdb"));
    Connection connection;
    try {
        connection.open(connectionTo(source));
        FAIL() << "a Jet file opened";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::Unspecified);
        EXPECT_EQ(error.description(),
                  QStringLiteral(
                      "'%1' is a database of the Windows version (a Jet database), which this system does "
                      "not open; convert the folder it lies in with 'vaultkeep import FOLDER NEW_FOLDER'.")
                      .arg(source));
    }
}

TEST_F(DatabaseImportTest, CodePageNamedForJet3Text)
{
    const QString source = copySample(dir.path(), QStringLiteral("nwind.mdb"));
    const QString target = path(QStringLiteral("thai.db"));
    // The same bytes read as Thai (code page 874): 0xE4 is "ไ" there, "ä" in the file's own code page.
    JetImport::importDatabase(source, target, options(874));
    EXPECT_EQ(shellLines(target, QStringLiteral("SELECT count(*) FROM \"Umsไtze\";")),
              QStringList{QStringLiteral("830")});
    EXPECT_EQ(
        shellLines(target, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'Umsätze';")),
        QStringList{QStringLiteral("0")});
}

TEST_F(DatabaseImportTest, ATableOf100000RowsIsConvertedWhole)
{
    const QString source = dir.filePath(QStringLiteral("many.mdb"));
    const qint64 rows = 100000;
    ASSERT_EQ(ManyRowJetFile::write(QStringLiteral(JET_SAMPLES "/DateTestDatabase.mdb"), source, rows),
              QString());
    ASSERT_EQ(mdbCount(source, ManyRowJetFile::Table), rows);
    const QString target = dir.filePath(QStringLiteral("many.db"));

    const JetImport::DatabaseReport report = JetImport::importDatabase(source, target, options());
    EXPECT_EQ(report.tables, 1);
    EXPECT_EQ(report.rows, rows);
    // Every row numbered 1 to 100,000 once, and holding the values of the sample's row it was copied from.
    EXPECT_EQ(
        shellLines(target, QStringLiteral("SELECT count(*), count(DISTINCT IDCol), min(IDCol), max(IDCol), "
                                          "sum(IDCol) FROM DateTest;")),
        QStringList{QStringLiteral("100000|100000|1|100000|5000050000")});
    EXPECT_EQ(
        shellLines(target, QStringLiteral("SELECT count(*) FROM DateTest a JOIN DateTest b ON b.IDCol = "
                                          "(a.IDCol - 1) % 6 + 1 WHERE a.DateTimeCol IS b.DateTimeCol AND "
                                          "a.DateCol IS b.DateCol AND a.TimeCol IS b.TimeCol AND "
                                          "a.LongTextCol IS b.LongTextCol AND a.ShortTextCol IS "
                                          "b.ShortTextCol;")),
        QStringList{QStringLiteral("100000")});
}

} // namespace

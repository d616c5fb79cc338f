#include "tools/mkappfolder/AppFolderMaker.h"
#include "shared/AppFolder.h"

#include "base/AppError.h"
#include "tests/support/Unprivileged.h"
#include "tests/tools/ToolsTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace ToolsTest;

namespace {

const QStringList CurrentCompanyColumns{QStringLiteral("COMPANY_ID"),   QStringLiteral("COMPANY_NAME"),
                                        QStringLiteral("COMPANY_PATH"), QStringLiteral("IS_SELECT"),
                                        QStringLiteral("IS_DELETED"),   QStringLiteral("DATABASE_NAME"),
                                        QStringLiteral("DATABASE_PATH")};

QString masterOf(const QString& dir)
{
    return joinPath({dir, QStringLiteral("MCLarkspur.mdb")});
}
QString templateOf(const QString& dir)
{
    return joinPath({dir, QStringLiteral("CompanyData"), QStringLiteral("Larkspur.mdb")});
}
QString companyFileOf(const QString& dir, int id)
{
    const QString n = QString::number(id);
    return joinPath({dir, QStringLiteral("CompanyData"), n, n + QStringLiteral(".mdb")});
}

QMap<QString, QString> configRows(Connection& db)
{
    QMap<QString, QString> config;
    for (const auto& row : rows(db, QStringLiteral("select Config_Head, Config_Value from Config_Data")))
        config.insert(row.at(0).toString(), row.at(1).toString());
    return config;
}

bool hasThai(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x0E00 && c.unicode() <= 0x0E7F)
            return true;
    return false;
}

class AppFolderMakerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QString path(const QString& relative) const { return joinPath({tmp.path(), relative}); }
    QTemporaryDir tmp;
};

struct VariantCase
{
    const char* name;
    bool legacy;
    int configValueSize;
    QStringList companyColumns;
    QMap<QString, QString> config; // "$DIR" stands for the folder laid out
};

const std::vector<VariantCase> Variants{
    {"current",
     false,
     255,
     CurrentCompanyColumns,
     {{QStringLiteral("CurrentCompany"), QStringLiteral("0")},
      {QStringLiteral("DatabasePath"), QStringLiteral("$DIR")},
      {QStringLiteral("UseDefaultPath"), QStringLiteral("1")}}},
    {"legacy",
     true,
     50,
     CurrentCompanyColumns.mid(0, 6),
     {{QStringLiteral("CurrentCompany"), QStringLiteral("0")}}},
};

} // namespace

TEST_F(AppFolderMakerTest, LaysOutDataLinkMasterAndTemplateForBothMasterVariants)
{
    for (const VariantCase& c : Variants) {
        SCOPED_TRACE(c.name);
        const QString dir = path(QString::fromLatin1(c.name) + QStringLiteral("/app"));
        AppFolderMaker::make(dir, {c.legacy, 0});

        EXPECT_EQ(entryNames(dir),
                  (QStringList{QStringLiteral("CompanyData"), QStringLiteral("MCLarkspur.mdb"),
                               QStringLiteral("MCdatalink.udl")}));
        EXPECT_EQ(entryNames(joinPath({dir, QStringLiteral("CompanyData")})),
                  QStringList{QStringLiteral("Larkspur.mdb")});

        // The data-link file: UTF-16LE with its byte-order mark, three lines ended by CR LF.
        const QByteArray udl = readBytes(joinPath({dir, QStringLiteral("MCdatalink.udl")}));
        ASSERT_GE(udl.size(), 2);
        EXPECT_EQ(udl.left(2), QByteArray("\xFF\xFE", 2));
        ASSERT_EQ(udl.size() % 2, 0);
        const QString text =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(udl.constData() + 2), (udl.size() - 2) / 2);
        const QString connection = AppFolder::JetConnectionString(masterOf(dir));
        EXPECT_EQ(text,
                  QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") +
                      connection + QStringLiteral("\r\n"));
        EXPECT_TRUE(connection.contains(QStringLiteral("Data Source=") + masterOf(dir) + QLatin1Char(';')));

        // The master opens through its data-link file, with the common password.
        Connection master;
        master.setCursorLocation(Ado::UseClient);
        master.open(AppFolder::MasterDataLinkReference(dir));
        EXPECT_EQ(fieldNames(master, QStringLiteral("Company")), c.companyColumns);
        EXPECT_EQ(scalar(master, QStringLiteral("select count(*) from Company")), 0);
        QMap<QString, QString> expected;
        for (auto it = c.config.cbegin(); it != c.config.cend(); ++it)
            expected.insert(it.key(), it.value() == QStringLiteral("$DIR") ? dir : it.value());
        EXPECT_EQ(configRows(master), expected);
        {
            Recordset rs;
            rs.open(QStringLiteral("select * from Config_Data"), master);
            EXPECT_EQ(rs.definedSize(QStringLiteral("Config_Head")), 50);
            EXPECT_EQ(rs.definedSize(QStringLiteral("Config_Value")), c.configValueSize);
        }
        {
            Recordset rs;
            rs.open(QStringLiteral("select * from Company"), master);
            EXPECT_EQ(rs.definedSize(QStringLiteral("COMPANY_NAME")), 255);
            EXPECT_EQ(rs.definedSize(QStringLiteral("DATABASE_NAME")), 255);
            EXPECT_EQ(rs.definedSize(QStringLiteral("COMPANY_ID")), 2);
        }
        // The defined size is enforced, not only reported: 51 characters fit the new master alone.
        const QString fiftyOne(51, QLatin1Char('x'));
        const QString widen = QStringLiteral("update Config_Data set Config_Value = '") + fiftyOne +
                              QStringLiteral("' where Config_Head = 'CurrentCompany'");
        if (c.legacy) {
            try {
                master.execute(widen);
                ADD_FAILURE() << "a 51-character value went into Config_Value of 50";
            } catch (const AppError& e) {
                EXPECT_EQ(e.number(), ErrorNumber::TextTooLong);
            }
        } else {
            EXPECT_NO_THROW(master.execute(widen));
            // A company added without a data folder gets the empty text, not a null.
            master.execute(QStringLiteral("insert into Company (COMPANY_ID, COMPANY_NAME) values (9, 'x')"));
            const auto added = rows(master, QStringLiteral("select DATABASE_PATH from Company"));
            ASSERT_EQ(added.size(), 1);
            EXPECT_TRUE(added.first().first().isValid());
            EXPECT_EQ(added.first().first().toString(), QString());
        }
        master.close();

        // Both databases are protected: the common password opens them, another one does not.
        for (const QString& file : {masterOf(dir), templateOf(dir)}) {
            SCOPED_TRACE(file.toStdString());
            Connection wrong;
            try {
                wrong.open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + file +
                           QStringLiteral(";Jet OLEDB:Database Password=Marigold4818"));
                wrong.execute(QStringLiteral("select count(*) from sqlite_master"));
                ADD_FAILURE() << "opened with the wrong password";
            } catch (const AppError& e) {
                EXPECT_EQ(e.number(), ErrorNumber::WrongPassword);
            }
        }
        Connection book;
        openDatabase(book, templateOf(dir));
        EXPECT_EQ(scalar(book, QStringLiteral("select count(*) from sqlite_master where type = 'table'")), 5);
        EXPECT_EQ(scalar(book, QStringLiteral("select count(*) from Accounts")), 17);
        EXPECT_EQ(scalar(book, QStringLiteral("select count(*) from Fiscal_Period")), 12);
        const auto cash = rows(
            book,
            QStringLiteral("select ACCOUNT_NAME, PARENT_CODE from Accounts where ACCOUNT_CODE = '1100'"));
        ASSERT_EQ(cash.size(), 1);
        EXPECT_EQ(cash.first().at(0).toString(), QStringLiteral("เงินสด"));
        EXPECT_EQ(cash.first().at(1).toString(), QStringLiteral("1000"));
    }
}

TEST_F(AppFolderMakerTest, DemoCompaniesGetRowsAndByteCopiesOfTheTemplate)
{
    constexpr int N = 7; // every kind of demo name, the one with an apostrophe included
    for (const VariantCase& c : Variants) {
        SCOPED_TRACE(c.name);
        const QString dir = path(QString::fromLatin1(c.name));
        AppFolderMaker::make(dir, {c.legacy, N});

        Connection master;
        openDatabase(master, masterOf(dir));
        const auto companies = rows(master, QStringLiteral("select * from Company order by COMPANY_ID"));
        ASSERT_EQ(companies.size(), N);
        QSet<QString> names;
        bool thai = false, english = false, apostrophe = false;
        for (int i = 0; i < N; ++i) {
            const auto& row = companies.at(i);
            ASSERT_EQ(row.size(), c.companyColumns.size());
            EXPECT_EQ(row.at(0).toInt(), i + 1);
            const QString name = row.at(1).toString();
            EXPECT_FALSE(name.trimmed().isEmpty());
            names.insert(name);
            thai = thai || hasThai(name);
            english = english || !hasThai(name);
            apostrophe = apostrophe || name.contains(QLatin1Char('\''));
            EXPECT_TRUE(row.at(2).isValid());
            EXPECT_EQ(row.at(2).toString(), QString());
            EXPECT_EQ(row.at(3).toInt(), 0);
            EXPECT_EQ(row.at(4).toInt(), 0);
            EXPECT_EQ(row.at(5).toString(), QString::number(i + 1) + QStringLiteral(".mdb"));
            if (!c.legacy) {
                EXPECT_EQ(row.at(6).toString(), dir);
            }
        }
        EXPECT_EQ(names.size(), N);
        EXPECT_TRUE(thai);
        EXPECT_TRUE(english);
        EXPECT_TRUE(apostrophe);
        EXPECT_EQ(configRows(master).value(QStringLiteral("CurrentCompany")), QStringLiteral("0"));

        QStringList expectedEntries{QStringLiteral("Larkspur.mdb")};
        const QByteArray templateBytes = readBytes(templateOf(dir));
        ASSERT_FALSE(templateBytes.isEmpty());
        for (int id = 1; id <= N; ++id) {
            expectedEntries.append(QString::number(id));
            EXPECT_EQ(entryNames(joinPath({dir, QStringLiteral("CompanyData"), QString::number(id)})),
                      QStringList{QString::number(id) + QStringLiteral(".mdb")});
            EXPECT_EQ(readBytes(companyFileOf(dir, id)), templateBytes) << "company " << id;
        }
        expectedEntries.sort();
        EXPECT_EQ(entryNames(joinPath({dir, QStringLiteral("CompanyData")})), expectedEntries);

        // A copy is a real company database, not only equal bytes.
        Connection book;
        openDatabase(book, companyFileOf(dir, N));
        EXPECT_EQ(scalar(book, QStringLiteral("select count(*) from Accounts")), 17);
    }
}

TEST_F(AppFolderMakerTest, RefusesToWriteOverExistingDataAndChangesNothing)
{
    struct Case
    {
        const char* name;
        std::function<void(const QString& dir)> prepare;
        QString namedFile; // relative to the folder
        int companies;
    };
    const std::vector<Case> cases{
        {"master from an earlier run",
         [](const QString& dir) {
             AppFolderMaker::make(dir, {false, 2});
         },
         QStringLiteral("MCLarkspur.mdb"), 2},
        {"empty master file",
         [](const QString& dir) {
             QDir().mkpath(dir);
             writeBytes(masterOf(dir), {});
         },
         QStringLiteral("MCLarkspur.mdb"), 0},
        {"master as a dangling link",
         [](const QString& dir) {
             QDir().mkpath(dir);
             QFile::link(joinPath({dir, QStringLiteral("nowhere.mdb")}), masterOf(dir));
         },
         QStringLiteral("MCLarkspur.mdb"), 0},
        {"template",
         [](const QString& dir) {
             QDir().mkpath(joinPath({dir, QStringLiteral("CompanyData")}));
             writeBytes(templateOf(dir), "an older template");
         },
         QStringLiteral("CompanyData/Larkspur.mdb"), 1},
        {"database of company 3",
         [](const QString& dir) {
             QDir().mkpath(joinPath({dir, QStringLiteral("CompanyData"), QStringLiteral("3")}));
             writeBytes(companyFileOf(dir, 3), "books of company 3");
         },
         QStringLiteral("CompanyData/3/3.mdb"), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir = path(QString::fromLatin1(c.name));
        c.prepare(dir);
        const auto before = snapshot(dir);
        ASSERT_FALSE(before.isEmpty());
        try {
            AppFolderMaker::make(dir, {false, c.companies});
            ADD_FAILURE() << "laid out over existing data";
        } catch (const AppError& e) {
            EXPECT_TRUE(e.description().contains(joinPath({dir, c.namedFile}))) << e.what();
        }
        EXPECT_EQ(differences(before, snapshot(dir)), QStringList());
    }
}

TEST_F(AppFolderMakerTest, RefusesACompanyCountOutsideSixteenBitsBeforeWritingAnything)
{
    for (const int n : {-1, 32768}) {
        const QString dir = path(QStringLiteral("n") + QString::number(n));
        try {
            AppFolderMaker::make(dir, {false, n});
            ADD_FAILURE() << n << " companies accepted";
        } catch (const AppError& e) {
            EXPECT_TRUE(e.description().contains(QStringLiteral("32767"))) << e.what();
        }
        EXPECT_FALSE(QFileInfo::exists(dir));
    }
}

// COMPANY_ID is a 16-bit identifier: the largest count uses every positive value, each with its file.
TEST_F(AppFolderMakerTest, TheLargestCompanyCountFillsEveryIdentifier)
{
    constexpr int N = 32767;
    const QString dir = path(QStringLiteral("full"));
    AppFolderMaker::make(dir, {false, N});

    Connection master;
    openDatabase(master, masterOf(dir));
    const auto summary = rows(master, QStringLiteral("select count(*), min(COMPANY_ID), max(COMPANY_ID), "
                                                     "count(distinct COMPANY_NAME) from Company"));
    ASSERT_EQ(summary.size(), 1);
    EXPECT_EQ(summary.first().at(0).toInt(), N);
    EXPECT_EQ(summary.first().at(1).toInt(), 1);
    EXPECT_EQ(summary.first().at(2).toInt(), N);
    EXPECT_EQ(summary.first().at(3).toInt(), N);
    const auto last = rows(master, QStringLiteral("select DATABASE_NAME, DATABASE_PATH from Company where "
                                                  "COMPANY_ID = 32767"));
    ASSERT_EQ(last.size(), 1);
    EXPECT_EQ(last.first().at(0).toString(), QStringLiteral("32767.mdb"));
    EXPECT_EQ(last.first().at(1).toString(), dir);

    EXPECT_EQ(entryNames(joinPath({dir, QStringLiteral("CompanyData")})).size(), N + 1);
    const QByteArray templateBytes = readBytes(templateOf(dir));
    for (const int id : {1, 4096, N})
        EXPECT_EQ(readBytes(companyFileOf(dir, id)), templateBytes) << "company " << id;
}

TEST_F(AppFolderMakerTest, ProducedDatabasesHoldNoPlaintext)
{
    const QString dir = path(QStringLiteral("app"));
    AppFolderMaker::make(dir, {false, 6});
    struct Case
    {
        QString file;
        QStringList needles;
    };
    const QStringList masterNeedles{QStringLiteral("Company"),
                                    QStringLiteral("Config_Data"),
                                    QStringLiteral("CurrentCompany"),
                                    QStringLiteral("CREATE TABLE"),
                                    QStringLiteral("บริษัท ตัวอย่าง 1 จำกัด"),
                                    QStringLiteral("Larkspur Demo Trading 3"),
                                    QStringLiteral("O'Brien"),
                                    dir};
    const QStringList bookNeedles{QStringLiteral("Accounts"), QStringLiteral("ACCOUNT_NAME"),
                                  QStringLiteral("CREATE TABLE"), QStringLiteral("เงินสด"),
                                  QStringLiteral("Retained earnings")};
    const std::vector<Case> cases{
        {masterOf(dir), masterNeedles}, {templateOf(dir), bookNeedles}, {companyFileOf(dir, 6), bookNeedles}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const QByteArray bytes = readBytes(c.file);
        ASSERT_GE(bytes.size(), 1024);
        EXPECT_EQ(bytes.size() % 1024, 0);
        EXPECT_FALSE(bytes.startsWith("SQLite format 3"));
        for (const QString& needle : c.needles) {
            EXPECT_EQ(bytes.indexOf(needle.toUtf8()), -1) << needle.toStdString();
            const QByteArray utf16(reinterpret_cast<const char*>(needle.utf16()), needle.size() * 2);
            EXPECT_EQ(bytes.indexOf(utf16), -1) << needle.toStdString() << " (UTF-16)";
        }
    }
}

TEST_F(AppFolderMakerTest, SqlcipherShellReadsTheDatabasesWithTheCommonKeyOnly)
{
    const QString dir = path(QStringLiteral("app"));
    AppFolderMaker::make(dir, {false, 4});
    struct Case
    {
        QString file;
        QString key;
        QString query;
        QString expected; // empty: the shell must fail to read it
    };
    const std::vector<Case> cases{
        {masterOf(dir), QStringLiteral("Marigold4817"), QStringLiteral("SELECT count(*) FROM Company;"),
         QStringLiteral("4")},
        {masterOf(dir), QStringLiteral("Marigold4817"),
         QStringLiteral("SELECT Config_Value FROM Config_Data WHERE Config_Head = 'DatabasePath';"), dir},
        {templateOf(dir), QStringLiteral("Marigold4817"), QStringLiteral("SELECT count(*) FROM Accounts;"),
         QStringLiteral("17")},
        {companyFileOf(dir, 4), QStringLiteral("Marigold4817"),
         QStringLiteral("SELECT count(*) FROM Accounts;"), QStringLiteral("17")},
        {masterOf(dir), QStringLiteral("marigold4817"), QStringLiteral("SELECT count(*) FROM Company;"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.file + QLatin1Char(' ') + c.key + QLatin1Char(' ') + c.query).toStdString());
        const QByteArray input =
            (QStringLiteral("PRAGMA key='") + c.key + QStringLiteral("';\n") + c.query + QLatin1Char('\n'))
                .toUtf8();
        const ProgramRun run = runProgram(QStringLiteral("sqlcipher"), {c.file}, {}, {}, input);
        ASSERT_TRUE(run.started) << "the sqlcipher shell (Debian package sqlcipher) is not installed";
        ASSERT_TRUE(run.finished);
        if (c.expected.isEmpty()) {
            EXPECT_EQ(run.out.trimmed(), QByteArray());
            EXPECT_TRUE(run.err.contains("not a database")) << run.err.toStdString();
        } else {
            EXPECT_EQ(QString::fromUtf8(run.out).trimmed(), c.expected) << run.err.toStdString();
            EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        }
    }
}

TEST_F(AppFolderMakerTest, FolderNamesWithQuotesAndSeparatorsReachTheDataUnchanged)
{
    const QStringList names{QStringLiteral("O'Neil's books"), QStringLiteral("a;b=c"),
                            QStringLiteral("ข้อมูล บริษัท"), QStringLiteral("say \"when\"; it's 'done'"),
                            QStringLiteral(" padded ")};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString dir = path(name);
        AppFolderMaker::make(dir, {false, 2});
        Connection master;
        master.setCursorLocation(Ado::UseClient);
        master.open(AppFolder::MasterDataLinkReference(dir));
        EXPECT_EQ(master.databasePath(), masterOf(dir));
        EXPECT_EQ(configRows(master).value(QStringLiteral("DatabasePath")), dir);
        const auto paths =
            rows(master, QStringLiteral("select DATABASE_PATH from Company order by COMPANY_ID"));
        ASSERT_EQ(paths.size(), 2);
        for (const auto& row : paths)
            EXPECT_EQ(row.first().toString(), dir);
        EXPECT_TRUE(QFileInfo::exists(companyFileOf(dir, 2)));
    }
}

// Root writes anywhere, so the denied writes run as "nobody". Each case fails part-way and must take
// back what it had written, leaving the folder as it was.
TEST_F(AppFolderMakerTest, AFolderThatCannotBeWrittenIsReportedAndLeftAsItWas)
{
    struct Case
    {
        const char* name;
        std::function<QString(const QString& root)> prepare; // returns the folder to lay out
        QString namedPath;                                   // relative to root
    };
    const std::vector<Case> cases{
        {"parent not writable",
         [](const QString& root) {
             QDir().mkpath(root);
             return joinPath({root, QStringLiteral("app")});
         },
         QStringLiteral("app")},
        {"company folder not writable",
         [](const QString& root) {
             const QString dir = joinPath({root, QStringLiteral("app")});
             const QString taken = joinPath({dir, QStringLiteral("CompanyData"), QStringLiteral("3")});
             QDir().mkpath(taken);
             for (const QString& open : {dir, joinPath({dir, QStringLiteral("CompanyData")})})
                 QFile::setPermissions(open, QFileDevice::Permissions(0x7777));
             return dir;
         },
         QStringLiteral("app/CompanyData/3/3.mdb")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString root = path(QString::fromLatin1(c.name));
        const QString dir = c.prepare(root);
        Unprivileged::makeReachable(root);
        const auto before = snapshot(root);
        const QString named = joinPath({root, c.namedPath});
        const int status = Unprivileged::run([&]() {
            try {
                AppFolderMaker::make(dir, {false, 5});
                return 10;
            } catch (const AppError& e) {
                return e.description().contains(named) ? 0 : 11;
            } catch (...) {
                return 12;
            }
        });
        EXPECT_EQ(status, 0) << "10: no error, 11: the error does not name " << named.toStdString()
                             << ", 12: not an AppError";
        EXPECT_EQ(differences(before, snapshot(root)), QStringList());
    }
}

#include "engine/AppError.h"
#include "platform/fileop/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "shared/Common.h"
#include "tests/support/Fixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    Fixtures::writeAll(path, bytes);
}

// Every entry below root with its contents ("" for a folder, whose name ends with "/").
QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        const QString relative = QDir(root).relativeFilePath(entry);
        if (it.fileInfo().isDir())
            entries.insert(relative + QLatin1Char('/'), {});
        else
            entries.insert(relative, Fixtures::readAll(entry));
    }
    return entries;
}

class ShellCopyNoCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        write(path("app/MCLarkspur.mdb"), "master");
        write(path("app/CompanyData/Larkspur.mdb"), "template");
        write(path("app/CompanyData/1/1.mdb"), "one");
        write(path("app/CompanyData/1/1.mdb-journal"), "journal");
        write(path("app/README"), "no dot");
        QDir().mkpath(path("dst"));
    }
    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }

    QTemporaryDir dir;
    ScriptedFileOperationUi ui;
    ShellFileOperation files{ui};
};

TEST_F(ShellCopyNoCheck, CopiesFilesFoldersAndPatternsByTheTargetRule)
{
    const QMap<QString, QByteArray> company = {{"CompanyData/", {}},
                                               {"CompanyData/1/", {}},
                                               {"CompanyData/1/1.mdb", "one"},
                                               {"CompanyData/1/1.mdb-journal", "journal"},
                                               {"CompanyData/Larkspur.mdb", "template"}};
    auto with = [](QMap<QString, QByteArray> entries, const QMap<QString, QByteArray>& more) {
        entries.insert(more);
        return entries;
    };
    struct Case
    {
        const char* name;
        QString source;
        QString target;
        QMap<QString, QByteArray> expected; // what dst holds afterwards
    };
    const Case cases[] = {
        {"a file into a folder", "app/MCLarkspur.mdb", "dst", {{"MCLarkspur.mdb", "master"}}},
        {"a file under a new name", "app/MCLarkspur.mdb", "dst/Copy.mdb", {{"Copy.mdb", "master"}}},
        {"a folder into a folder", "app/CompanyData", "dst", company},
        {"every entry, with and without a dot", "app/*.*", "dst",
         with(company, {{"MCLarkspur.mdb", "master"}, {"README", "no dot"}})},
        {"every entry into a new folder",
         "app/*.*",
         "dst/New/Deeper",
         {{"New/", {}},
          {"New/Deeper/", {}},
          {"New/Deeper/MCLarkspur.mdb", "master"},
          {"New/Deeper/README", "no dot"},
          {"New/Deeper/CompanyData/", {}},
          {"New/Deeper/CompanyData/1/", {}},
          {"New/Deeper/CompanyData/1/1.mdb", "one"},
          {"New/Deeper/CompanyData/1/1.mdb-journal", "journal"},
          {"New/Deeper/CompanyData/Larkspur.mdb", "template"}}},
        {"a pattern of one extension, any case", "app/*.MDB", "dst", {{"MCLarkspur.mdb", "master"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path("dst")).removeRecursively();
        QDir().mkpath(path("dst"));
        const FileOpResult result = Common::ShellCopyNoCheck(files, path(c.source), path(c.target), 532);
        EXPECT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_EQ(treeOf(path("dst")), c.expected);
    }
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(ShellCopyNoCheck, ReturnsTheOperationsFailure)
{
    struct Case
    {
        const char* name;
        QString source;
        QString target;
        FileOpFailure failure;
    };
    const Case cases[] = {
        {"missing file", "app/Gone.mdb", "dst", FileOpFailure::MissingSource},
        {"missing folder of a pattern", "gone/*.*", "dst", FileOpFailure::MissingSource},
        {"a folder into itself", "app/CompanyData", "app/CompanyData/Backup", FileOpFailure::Invalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int errorsBefore = int(ui.errors().size());
        const FileOpResult result = Common::ShellCopyNoCheck(files, path(c.source), path(c.target), 532);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.failure, c.failure);
        ASSERT_EQ(ui.errors().size(), errorsBefore + 1);
        EXPECT_EQ(ui.errors().last(), result.error);
    }
    EXPECT_EQ(treeOf(path("dst")), (QMap<QString, QByteArray>{}));
    EXPECT_FALSE(QFileInfo::exists(path("app/CompanyData/Backup")));
}

TEST_F(ShellCopyNoCheck, AnEmptyPathRaisesErrorFiveBeforeAnythingIsCopied)
{
    for (const auto& [source, target] :
         {std::pair{QString(), path("dst")}, std::pair{path("app/README"), QString()}}) {
        try {
            Common::ShellCopyNoCheck(files, source, target, 532);
            ADD_FAILURE() << "no error raised";
        } catch (const AppError& error) {
            EXPECT_EQ(error.number(), 5);
            EXPECT_EQ(error.description(), QStringLiteral("Empty string passed."));
        }
    }
    EXPECT_TRUE(ui.errors().isEmpty());
    EXPECT_EQ(treeOf(path("dst")), (QMap<QString, QByteArray>{}));
}

} // namespace

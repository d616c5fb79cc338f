#include "shared/Common.h"

#include "base/AppError.h"
#include "base/FileLock.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/FileOperation.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/support/Fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CommonShellDelete : public ::testing::Test
{
protected:
    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

// The caller learns whether the shell deleted what it was asked to; what it then does is its own choice.
TEST_F(CommonShellDelete, ReturnsWhetherTheShellDeletedThePath)
{
    struct Case
    {
        const char* label;
        bool holdOpen;
        bool deleted;
    } cases[] = {
        {"a file no one holds", false, true},
        {"a database another program holds open", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedFileOperationUi caseUi;
        ShellFileOperation caseFiles(caseUi);
        const QString path = file(QStringLiteral("1.mdb"));
        Fixtures::writeAll(path, "data");
        FileLock holder;
        if (c.holdOpen) {
            ASSERT_EQ(holder.acquire(path, FileLock::Mode::Shared), 0);
        }

        EXPECT_EQ(Common::ShellDelete(caseFiles, path, false, Fof::NoConfirmation), c.deleted);
        EXPECT_EQ(QFile::exists(path), !c.deleted);
        EXPECT_EQ(caseUi.errors().size(), c.deleted ? 0 : 1) << "the shell told the user why";
        holder.release();
        QFile::remove(path);
    }
}

TEST_F(CommonShellDelete, AMissingFileIsNotDeletedAndAnEmptyPathRaisesErrorFive)
{
    ScriptedFileOperationUi ui;
    ShellFileOperation files(ui);
    EXPECT_FALSE(Common::ShellDelete(files, file(QStringLiteral("missing.mdb")), false, Fof::NoConfirmation));
    try {
        [[maybe_unused]] const bool deleted = Common::ShellDelete(files, QString(), false, 0);
        ADD_FAILURE() << "an empty path was accepted";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::EmptyString);
    }
}

} // namespace

#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/fileop/FileOpTestSupport.h"
#include "tests/support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace FileOpTest;

namespace {

using Kind = ScriptedFileOperationUi::Kind;

QString trash()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";
}

TEST(Delete, RemovesOrMovesToTheTrashAsAsked)
{
    struct Case
    {
        const char* name;
        int flags;
        QList<bool> answers;
        bool gone;
        bool inTrash;
    };
    const Case cases[] = {
        {"plain, no question", Fof::NoConfirmation, {}, true, false},
        {"to the trash, no question", Fof::NoConfirmation | Fof::AllowUndo, {}, true, true},
        {"asked, yes", Fof::AllowUndo, {true}, true, true},
        {"asked, no", 0, {false}, false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        // A name of its own per case: the trash is shared by the whole test program.
        const QString name = QStringLiteral("Company%1.mdb").arg(++n);
        const QString file = dir.path() + "/CompanyData/" + name;
        writeFile(file, "data");
        writeFile(file + "-journal", "journal");
        ScriptedFileOperationUi ui;
        for (bool answer : c.answers)
            ui.queueDelete(answer);

        const FileOpResult result = ShellFileOperation(ui).remove(file, c.flags);

        EXPECT_EQ(result.ok, c.gone) << result.error.toStdString();
        EXPECT_EQ(result.cancelled, !c.gone);
        EXPECT_TRUE(ui.errors().isEmpty());
        EXPECT_EQ(ui.questions().size(), c.answers.size());
        if (!c.answers.isEmpty()) {
            EXPECT_EQ(ui.questions().first(), (ScriptedFileOperationUi::Question{Kind::Delete, file}));
        }
        const QStringList left = c.gone ? QStringList{} : QStringList{name, name + "-journal"};
        EXPECT_EQ(tree(dir.path() + "/CompanyData"), left);
        EXPECT_EQ(QFile::exists(trash() + "/files/" + name), c.inTrash);
        EXPECT_EQ(QFile::exists(trash() + "/files/" + name + "-journal"), c.inTrash);
        if (c.inTrash) {
            EXPECT_EQ(readFile(trash() + "/files/" + name), "data");
            const QByteArray info = readFile(trash() + "/info/" + name + ".trashinfo");
            EXPECT_TRUE(info.contains("Path=" + QUrl::toPercentEncoding(file, "/"))) << info.toStdString();
        }
    }
}

TEST(Delete, RemovesAFolderWithEverythingBelowIt)
{
    QTemporaryDir dir;
    writeFile(dir.path() + "/Old/CompanyData/A.mdb", "a");
    writeFile(dir.path() + "/Old/.hidden", "h");
    writeFile(dir.path() + "/Keep.mdb", "k");
    ScriptedFileOperationUi ui;

    const FileOpResult result = ShellFileOperation(ui).remove(dir.path() + "/OLD", Fof::NoConfirmation);

    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(tree(dir.path()), QStringList{"Keep.mdb"});
}

TEST(Delete, MissingItemIsReported)
{
    QTemporaryDir dir;
    ScriptedFileOperationUi ui;

    const FileOpResult result = ShellFileOperation(ui).remove(dir.path() + "/none.mdb", Fof::NoConfirmation);

    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failure, FileOpFailure::MissingSource);
    EXPECT_EQ(ui.errors(), QStringList{result.error});
    EXPECT_TRUE(result.error.contains(dir.path() + "/none.mdb"));
}

TEST(Delete, WithoutATrashNothingIsDeleted)
{
    struct Case
    {
        const char* name;
        bool dataHomeSet; // XDG_DATA_HOME in a closed folder, or unset with a home where ~/.local cannot be
                          // made
    };
    for (const Case& c :
         {Case{"data folder not writable", true}, Case{"no data folder can be made", false}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString closed = dir.path() + "/closed"; // root's, others may only look
        QDir().mkpath(closed);
        ::chmod(QFile::encodeName(closed).constData(), 0755);
        const QString open = dir.path() + "/open";
        QDir().mkpath(open);
        ::chmod(QFile::encodeName(open).constData(), 0777);
        const QString file = open + "/Company.mdb";
        writeFile(file, "data");
        ::chmod(QFile::encodeName(file).constData(), 0666);
        Unprivileged::makeReachable(open);

        const int status = Unprivileged::run([&] {
            if (c.dataHomeSet) {
                qputenv("XDG_DATA_HOME", QFile::encodeName(closed));
            } else {
                qunsetenv("XDG_DATA_HOME");
                qputenv("HOME", QFile::encodeName(closed));
            }
            // Where Qt would put a trash when it finds no data folder.
            if (!QDir::setCurrent(open))
                return 10;
            ScriptedFileOperationUi ui;
            const FileOpResult result =
                ShellFileOperation(ui).remove(file, Fof::NoConfirmation | Fof::AllowUndo);
            if (result.ok)
                return 1;
            if (result.failure != FileOpFailure::NoTrash)
                return 2;
            return ui.errors() == QStringList{result.error} ? 0 : 3;
        });

        EXPECT_EQ(status, 0);
        EXPECT_EQ(readFile(file), "data");
        EXPECT_EQ(tree(open), QStringList{"Company.mdb"});
        EXPECT_EQ(tree(closed), QStringList{});
    }
}

} // namespace

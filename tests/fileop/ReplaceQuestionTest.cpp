#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/fileop/FileOpTestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace FileOpTest;

namespace {

using Kind = ScriptedFileOperationUi::Kind;

TEST(ReplaceQuestion, ReplacesOnlyWhatTheAnswersAllow)
{
    struct Case
    {
        const char* name;
        int flags;
        QList<ReplaceAnswer> answers;
        QList<bool> replaced; // f1, f2, f3
        bool ok;
    };
    using A = ReplaceAnswer;
    const Case cases[] = {
        {"yes to each", Fof::NoConfirmMkdir, {A::Yes, A::Yes, A::Yes}, {true, true, true}, true},
        {"yes to all at the first", Fof::NoConfirmMkdir, {A::YesToAll}, {true, true, true}, true},
        {"no skips, and is no failure",
         Fof::NoConfirmMkdir,
         {A::No, A::Yes, A::No},
         {false, true, false},
         true},
        {"cancel stops, later files untouched",
         Fof::NoConfirmMkdir,
         {A::Yes, A::Cancel},
         {true, false, false},
         false},
        {"no-confirmation replaces silently",
         Fof::NoConfirmation | Fof::Silent | Fof::NoConfirmMkdir,
         {},
         {true, true, true},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString src = dir.path() + "/Backup/DB-20240101120000";
        const QString dst = dir.path() + "/App";
        const QStringList names{"f1.mdb", "f2.mdb", "f3.mdb"};
        for (const QString& name : names) {
            writeFile(src + "/" + name, "new " + name.toUtf8());
            writeFile(dst + "/" + name, "old " + name.toUtf8());
        }
        ScriptedFileOperationUi ui;
        for (ReplaceAnswer answer : c.answers)
            ui.queueReplace(answer);

        const FileOpResult result = ShellFileOperation(ui).copy(src + "/*.*", dst, c.flags);

        EXPECT_EQ(result.ok, c.ok) << result.error.toStdString();
        EXPECT_EQ(result.cancelled, !c.ok);
        QList<ScriptedFileOperationUi::Question> expectedQuestions;
        for (qsizetype i = 0; i < c.answers.size(); ++i)
            expectedQuestions.append({Kind::Replace, dst + "/" + names[i]});
        EXPECT_EQ(ui.questions(), expectedQuestions);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QByteArray expected = (c.replaced[i] ? "new " : "old ") + names[i].toUtf8();
            EXPECT_EQ(readFile(dst + "/" + names[i]), expected);
        }
        EXPECT_EQ(tree(dst), names); // nothing left beside them under a temporary name
        EXPECT_EQ(ui.errors().size(), c.ok ? 0 : 1);
        EXPECT_EQ(ui.pendingAnswers(), 0);
    }
}

} // namespace

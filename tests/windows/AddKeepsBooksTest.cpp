#include "engine/Convert.h"
#include "engine/DatabaseFile.h"
#include "engine/Recordset.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/core/PendingAdds.h"
#include "launcher/windows/frmAddCompany.h"
#include "launcher/windows/frmChooseCompany.h"
#include "launcher/windows/frmLogin.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "shared/AppFolder.h"
#include "tests/faults/FaultSeam.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiskSnapshot.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"
#include "tests/support/WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class AddKeepsBooksTest : public WindowFixture
{
protected:
    void pick(frmChooseCompany& chooser, int gridRow)
    {
        QTableView* grid = chooser.MSHFlexGrid1;
        const QModelIndex cell = grid->model()->index(gridRow - 1, 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    }
    // A person adding a company through the chooser's add dialog.
    void addThroughDialog(frmChooseCompany& chooser, const QString& name)
    {
        modal.queueScript([=](QDialog& dialog) {
            auto* add = dynamic_cast<frmAddCompany*>(&dialog);
            ASSERT_NE(add, nullptr);
            typeText(add->txtCompanyName, name);
            QTest::mouseClick(add->OKButton, Qt::LeftButton);
        });
        QTest::mouseClick(chooser.CmdAddCompany, Qt::LeftButton);
    }
    QList<int> ids()
    {
        QList<int> result;
        Recordset rs = MdlDAO::GetCompanyList(globals);
        for (int i = 0; i < rs.recordCount(); ++i, rs.moveNext())
            result << Convert::toInt16(rs.value(QStringLiteral("COMPANY_ID")));
        return result;
    }
    QByteArray templateBytes() { return Fixtures::readAll(path(QStringLiteral("CompanyData/Larkspur.mdb"))); }
    DiskSnapshot::Snapshot companyData() { return DiskSnapshot::take(path(QStringLiteral("CompanyData"))); }
};

// What an office leaves where the next identifier's folder would be; the new company passes it by and
// everything that was there stays exactly as it was.
TEST_F(AddKeepsBooksTest, AnAddNeverReplacesDeletesOrAdoptsWhatIsAlreadyThere)
{
    struct Case
    {
        const char* what;
        int questions; // the chooser's delete questions the arrangement answers
        std::function<void(frmChooseCompany&)> arrange;
    } cases[] = {
        {"books kept when company 3 was deleted without its database", 2,
         [this](frmChooseCompany& chooser) {
             pick(chooser, 3);
             messages.queueAnswer(MsgResult::Yes);
             messages.queueAnswer(MsgResult::No);
             QTest::mouseClick(chooser.CmdDeleteCompany, Qt::LeftButton);
         }},
        {"the empty folder of company 3, deleted with its database", 2,
         [this](frmChooseCompany& chooser) {
             pick(chooser, 3);
             messages.queueAnswer(MsgResult::Yes);
             messages.queueAnswer(MsgResult::Yes);
             QTest::mouseClick(chooser.CmdDeleteCompany, Qt::LeftButton);
         }},
        {"a file named like the folder 4", 0,
         [this](frmChooseCompany&) {
             Fixtures::writeAll(path(QStringLiteral("CompanyData/4")), "a file");
         }},
        {"a folder 4 with someone's files", 0,
         [this](frmChooseCompany&) {
             QDir().mkpath(path(QStringLiteral("CompanyData/4")));
             Fixtures::writeAll(path(QStringLiteral("CompanyData/4/4.mdb")), "books from elsewhere");
             Fixtures::writeAll(path(QStringLiteral("CompanyData/4/notes.txt")), "notes");
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useFolder(QStringLiteral("case%1").arg(++n));
        makeFolder(3);
        messages.clear();
        auto chooser = openChooser();
        c.arrange(*chooser);
        const QList<int> idsBefore = ids();
        const int expected = QFileInfo::exists(path(QStringLiteral("CompanyData/4"))) ? 5 : 4;
        const auto before = companyData();
        const int questionsBefore = int(fileUi.questions().size());

        addThroughDialog(*chooser, QStringLiteral("ใหม่"));

        EXPECT_EQ(ids(), idsBefore + QList<int>{expected});
        EXPECT_EQ(int(fileUi.questions().size()), questionsBefore) << "no replace question";
        auto after = companyData();
        const QString folder = QString::number(expected);
        EXPECT_EQ(after.take(folder), QByteArray("<folder>"));
        EXPECT_EQ(after.take(folder + QLatin1Char('/') + folder + QStringLiteral(".mdb")), templateBytes());
        EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
        EXPECT_EQ(messages.calls().size(), c.questions) << "and no error";
        EXPECT_FALSE(fatal.ended());
    }
}

// Whatever stops the add (a template that is no database, a cancel, no identifier left), nothing of it
// stays: no row, no folder, no partial file.
TEST_F(AddKeepsBooksTest, AFailedAddLeavesTheFolderAsItWas)
{
    struct Case
    {
        const char* what;
        std::function<void()> arrange;
    } cases[] = {
        {"template that is not a database",
         [this] {
             Fixtures::writeAll(path(QStringLiteral("CompanyData/Larkspur.mdb")), QByteArray(8192, 'x'));
         }},
        {"template protected by another password",
         [this] {
             QFile::remove(path(QStringLiteral("CompanyData/Larkspur.mdb")));
             DatabaseFile::create(path(QStringLiteral("CompanyData/Larkspur.mdb")), QStringLiteral("other"));
         }},
        {"template that is a FIFO",
         [this] {
             QFile::remove(path(QStringLiteral("CompanyData/Larkspur.mdb")));
             ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("CompanyData/Larkspur.mdb"))), 0644),
                       0);
         }},
        {"copy cancelled half-way",
         [this] {
             fileUi.cancelAfterUpdates(1);
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useFolder(QStringLiteral("case%1").arg(++n));
        makeFolder(1);
        Fixtures::writeAll(path(QStringLiteral("CompanyData/Larkspur.mdb")),
                           templateBytes() + QByteArray(512 * 1024, '\0'));
        c.arrange();
        const auto before = companyData();
        messages.clear();
        auto chooser = openChooser();
        modal.queueScript([](QDialog& dialog) {
            auto* add = dynamic_cast<frmAddCompany*>(&dialog);
            ASSERT_NE(add, nullptr);
            typeText(add->txtCompanyName, QStringLiteral("new one"));
            QTest::mouseClick(add->OKButton, Qt::LeftButton);
            EXPECT_TRUE(add->isVisible());
        });
        QTest::mouseClick(chooser->CmdAddCompany, Qt::LeftButton);
        fileUi.cancelAfterUpdates(-1);

        EXPECT_EQ(ids(), QList<int>{1});
        ASSERT_EQ(messages.calls().size(), 1);
        EXPECT_EQ(messages.calls()[0],
                  (ScriptedMessageBox::Call{QStringLiteral("เกิดข้อผิดพลาด"), 16, QString()}));
        const auto after = companyData();
        EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
    }
}

// A launcher killed at any moment of an add: after a restart the chooser lists either no new company or
// one whose database is complete, and nothing the add made half-way is left on disk.
class KilledAddTest : public AddKeepsBooksTest
{
protected:
    // Runs an add in a child process (a second launcher on the same folder) that is killed with SIGKILL
    // at the given call under the company folder, or not at all. Returns the calls the add made
    // there, up to the kill, and whether it was killed.
    struct Run
    {
        std::vector<std::pair<FaultSeam::Call, int>> steps;
        std::vector<std::string> lines;
        bool killed = false;
    };
    Run addAndKill(std::optional<std::pair<FaultSeam::Call, int>> killAt)
    {
        int record[2];
        EXPECT_EQ(::pipe(record), 0);
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(record[0]);
            LauncherGlobals own;
            own.MasterConnection.setCursorLocation(Ado::UseClient);
            own.MasterConnection.open(AppFolder::MasterDataLinkReference(root));
            own.DatabasePath = root;
            ScriptedFileOperationUi ui;
            ShellFileOperation ownFiles(ui);
            ownFiles.setChunkSize(64 * 1024);
            // The calls on the company folder; the master's own commit is the engine's to keep whole.
            FaultSeam::Watch watch((root + QStringLiteral("/CompanyData")).toStdString());
            watch.writeStepsTo(record[1]);
            if (killAt)
                watch.at(killAt->first, killAt->second, FaultSeam::Action::Kill);
            MdlDAO::AddCompany(own, ownFiles, QStringLiteral("killed"));
            ::_exit(0);
        }
        ::close(record[1]);
        QByteArray lines;
        char buffer[4096];
        for (ssize_t n; (n = ::read(record[0], buffer, sizeof buffer)) != 0;) {
            if (n > 0)
                lines.append(buffer, n);
            else if (errno != EINTR)
                break;
        }
        ::close(record[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        Run run;
        run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        EXPECT_TRUE(run.killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        for (const QByteArray& line : lines.split('\n')) {
            FaultSeam::Call call{};
            int occurrence = 0;
            if (FaultSeam::parse(line.toStdString(), call, occurrence)) {
                run.steps.emplace_back(call, occurrence);
                run.lines.push_back(line.toStdString());
            }
        }
        return run;
    }

    // A restart: the login window loads, and the chooser opens from it.
    void restartAndCheck(const DiskSnapshot::Snapshot& before)
    {
        LauncherGlobals fresh;
        fresh.MasterConnection.setCursorLocation(Ado::UseClient);
        fresh.MasterConnection.open(AppFolder::MasterDataLinkReference(root));
        fresh.AppVersion = QStringLiteral("2.17");
        {
            frmLogin login(fresh, services, windows);
            login.Form_Load();
        }
        frmChooseCompany chooser(fresh, services, windows);
        auto after = companyData();
        const QList<int> listed = [&] {
            QList<int> result;
            Recordset rs = MdlDAO::GetCompanyList(fresh);
            for (int i = 0; i < rs.recordCount(); ++i, rs.moveNext())
                result << Convert::toInt16(rs.value(QStringLiteral("COMPANY_ID")));
            return result;
        }();
        EXPECT_EQ(chooser.gridRowCount(), listed.size() + 1);
        for (int id : listed) {
            const QString file = QStringLiteral("%1/%1.mdb").arg(id);
            if (before.contains(file)) {
                EXPECT_EQ(after.value(file), before.value(file)) << file.toStdString();
            } else {
                EXPECT_EQ(after.take(file), templateBytes()) << "a new company is complete: " << id;
                after.remove(QString::number(id));
            }
        }
        EXPECT_EQ(after, before) << DiskSnapshot::differences(before, after).toStdString();
        EXPECT_FALSE(fatal.ended());
    }
};

// Killed while the copy of the template is under way, its temporary file half-written.
TEST_F(KilledAddTest, KilledDuringTheCopyARestartListsNoCompanyAndLeavesNoPartialFile)
{
    makeFolder(2);
    Fixtures::writeAll(path(QStringLiteral("CompanyData/Larkspur.mdb")),
                       templateBytes() + QByteArray(512 * 1024, '\0'));
    const auto before = companyData();
    // The third chunk written to the copy: the temporary file exists and holds part of the template.
    const Run run = addAndKill(std::pair{FaultSeam::Call::Write, 3});
    ASSERT_TRUE(run.killed);
    const QStringList left =
        QDir(path(QStringLiteral("CompanyData/3"))).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.filter(QRegularExpression(QStringLiteral("^\\.3\\.mdb\\..{6}$"))).size(), 1)
        << "the kill came while the copy was under way: " << left.join(QLatin1Char(' ')).toStdString();
    // The add had made its folder, and its marker still named it.
    EXPECT_EQ(Fixtures::readAll(PendingAdds::folderPath(path(QStringLiteral("CompanyData"))) +
                                QStringLiteral("/3")),
              QByteArray("3"));
    restartAndCheck(before);
    EXPECT_EQ(ids(), (QList<int>{1, 2}));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("CompanyData/3"))));

    // The identifier is free again, and the next add completes.
    auto chooser = openChooser();
    addThroughDialog(*chooser, QStringLiteral("after the kill"));
    EXPECT_EQ(ids(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("CompanyData/3/3.mdb"))), templateBytes());
}

// Killed at each call the add makes under the folder in turn, from the first to the last.
TEST_F(KilledAddTest, KilledAtAnyStepARestartShowsNoCompanyOrACompleteOne)
{
    makeFolder(1);
    Fixtures::writeAll(path(QStringLiteral("CompanyData/Larkspur.mdb")),
                       templateBytes() + QByteArray(256 * 1024, '\0'));
    const Run whole = addAndKill(std::nullopt);
    ASSERT_FALSE(whole.killed);
    ASSERT_EQ(ids().size(), 2);
    ASSERT_FALSE(whole.steps.empty());
    for (size_t i = 0; i < whole.steps.size(); ++i) {
        SCOPED_TRACE(whole.lines[i]);
        const auto before = companyData();
        const Run run = addAndKill(whole.steps[i]);
        EXPECT_TRUE(run.killed) << "the add never came to the step";
        restartAndCheck(before);
    }
}

} // namespace

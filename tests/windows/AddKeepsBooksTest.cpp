#include "engine/Convert.h"
#include "engine/DatabaseFile.h"
#include "engine/Recordset.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/core/PendingAdds.h"
#include "launcher/windows/frmAddCompany.h"
#include "launcher/windows/frmChooseCompany.h"
#include "launcher/windows/frmLogin.h"
#include "shared/AppFolder.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiskSnapshot.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Typing.h"
#include "tests/support/WindowFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <csignal>
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
    // Runs an add in a child process (a second launcher on the same folder) and kills it with SIGKILL:
    // once the copy has shown its first progress (delay -1), after delay microseconds (delay >= 0), or
    // not at all (NoKill). Returns how long the child ran.
    static constexpr long AtFirstProgress = -1;
    static constexpr long NoKill = -2;
    qint64 addAndKill(long delay)
    {
        int started[2];
        EXPECT_EQ(::pipe(started), 0);
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(started[0]);
            LauncherGlobals own;
            own.MasterConnection.setCursorLocation(Ado::UseClient);
            own.MasterConnection.open(AppFolder::MasterDataLinkReference(root));
            own.DatabasePath = root;
            ProgressSignal ui(delay == AtFirstProgress ? started[1] : -1);
            ShellFileOperation ownFiles(ui);
            ownFiles.setChunkSize(64 * 1024);
            if (delay != AtFirstProgress)
                (void)!::write(started[1], "s", 1);
            MdlDAO::AddCompany(own, ownFiles, QStringLiteral("killed"));
            ::_exit(0);
        }
        ::close(started[1]);
        char byte = 0;
        (void)!::read(started[0], &byte, 1);
        QElapsedTimer ran;
        ran.start();
        if (delay > 0)
            ::usleep(useconds_t(delay));
        if (delay != NoKill)
            ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(started[0]);
        return ran.nsecsElapsed() / 1000;
    }

    // The progress of a copy, told to the parent at its first step; the child then waits to be killed.
    class ProgressSignal : public ScriptedFileOperationUi
    {
    public:
        explicit ProgressSignal(int fd) : m_fd(fd) {}
        void progressUpdate(const QString& file, qint64 done, qint64 total) override
        {
            if (m_fd >= 0) {
                (void)!::write(m_fd, "p", 1);
                for (;;)
                    ::pause();
            }
            ScriptedFileOperationUi::progressUpdate(file, done, total);
        }

    private:
        int m_fd;
    };

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

TEST_F(KilledAddTest, KilledDuringTheCopyARestartListsNoCompanyAndLeavesNoPartialFile)
{
    makeFolder(2);
    Fixtures::writeAll(path(QStringLiteral("CompanyData/Larkspur.mdb")),
                       templateBytes() + QByteArray(1024 * 1024, '\0'));
    const auto before = companyData();
    addAndKill(AtFirstProgress);
    // The add had made its folder, and its marker still named it: the kill came while the copy was under way.
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("CompanyData/3"))).isDir());
    EXPECT_EQ(Fixtures::readAll(PendingAdds::folderPath(path(QStringLiteral("CompanyData"))) +
                                QStringLiteral("/3")),
              QByteArray("3"))
        << "the kill came while the copy was under way";
    restartAndCheck(before);
    EXPECT_EQ(ids(), (QList<int>{1, 2}));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("CompanyData/3"))));

    // The identifier is free again, and the next add completes.
    auto chooser = openChooser();
    addThroughDialog(*chooser, QStringLiteral("after the kill"));
    EXPECT_EQ(ids(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(Fixtures::readAll(path(QStringLiteral("CompanyData/3/3.mdb"))), templateBytes());
}

TEST_F(KilledAddTest, KilledAtAnyMomentARestartShowsNoCompanyOrACompleteOne)
{
    makeFolder(1);
    Fixtures::writeAll(path(QStringLiteral("CompanyData/Larkspur.mdb")),
                       templateBytes() + QByteArray(256 * 1024, '\0'));
    // How long a whole add takes here, measured by letting one finish.
    const qint64 whole = addAndKill(NoKill);
    ASSERT_EQ(ids().size(), 2);
    constexpr int Moments = 8;
    for (int i = 0; i <= Moments; ++i) {
        SCOPED_TRACE(i);
        const auto before = companyData();
        addAndKill(long(whole * i / Moments));
        restartAndCheck(before);
    }
}

} // namespace

#include "engine/Connection.h"
#include "engine/Convert.h"
#include "engine/Recordset.h"
#include "launcher/core/DataLinks.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "platform/fileop/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Unprivileged.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int CompaniesPerSeat = 12;

// An office's shared data folder: owned by a group both seats' users belong to, group-writable, and
// set-group-id so that whatever either seat creates (journals, company folders) stays the group's.
void shareWithGroup(const QString& folder, gid_t group)
{
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList paths{folder};
    while (it.hasNext())
        paths.append(it.next());
    for (const QString& path : paths) {
        const QByteArray local = QFile::encodeName(path);
        ASSERT_EQ(::chown(local.constData(), 0, group), 0) << local.constData();
        ASSERT_EQ(::chmod(local.constData(), QFileInfo(path).isDir() ? 02770 : 0660), 0) << local.constData();
    }
}

// One seat: its own process, its own user and its own launcher state on the shared master, adding
// companies as fast as it can once the start signal comes. Each add must succeed first time.
int seat(const Unprivileged::Identity& identity, int startSignal, const QString& app, const QString& name)
{
    if (const int dropped = Unprivileged::dropTo(identity); dropped != 0)
        return dropped;
    // The share's rule for new files and folders: the group may write them too.
    ::umask(007);
    LauncherGlobals globals;
    try {
        globals.MasterConnection.setCursorLocation(Ado::UseClient);
        globals.MasterConnection.open(DataLinks::MasterDataLinkReference(app));
    } catch (const std::exception&) {
        return 100;
    }
    globals.DatabasePath = app;
    ScriptedFileOperationUi ui;
    ShellFileOperation files(ui);
    char go = 0;
    if (::read(startSignal, &go, 1) != 1)
        return 101;
    for (int i = 1; i <= CompaniesPerSeat; ++i) {
        if (!MdlDAO::AddCompany(globals, files, QStringLiteral("%1 %2").arg(name).arg(i)))
            return i;
    }
    return ui.questions().isEmpty() ? 0 : 102;
}

TEST(MultiSeat, TwoUsersAddingCompaniesAtOnceGetUniqueIdentifiersAndEveryFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString app = dir.filePath(QStringLiteral("office"));
    AppFolderMaker::make(app, {false, 1});
    const std::optional<Unprivileged::Identity> first = Unprivileged::lookUp("nobody", "users");
    const std::optional<Unprivileged::Identity> second = Unprivileged::lookUp("daemon", "users");
    ASSERT_TRUE(first && second) << "the users nobody and daemon and the group users are needed";
    ASSERT_NE(first->uid, second->uid);
    Unprivileged::makeReachable(dir.path());
    shareWithGroup(app, first->gid);

    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    const pid_t one =
        ChildProcess::start([&] { return seat(*first, start[0], app, QStringLiteral("ร้าน ก")); });
    const pid_t two =
        ChildProcess::start([&] { return seat(*second, start[0], app, QStringLiteral("ร้าน ข")); });
    // Both seats are open on the master before either adds anything; then they add side by side.
    ASSERT_EQ(::write(start[1], "gg", 2), 2);
    ::close(start[1]);
    EXPECT_EQ(ChildProcess::wait(one), 0);
    EXPECT_EQ(ChildProcess::wait(two), 0);
    ::close(start[0]);

    LauncherGlobals globals;
    globals.MasterConnection.open(DataLinks::MasterDataLinkReference(app));
    Recordset rs = MdlDAO::GetCompanyList(globals);
    const int expected = 1 + 2 * CompaniesPerSeat;
    ASSERT_EQ(rs.recordCount(), expected);
    QSet<int> ids;
    QMap<QString, int> names;
    const QByteArray templateBytes = Fixtures::readAll(app + QStringLiteral("/CompanyData/Larkspur.mdb"));
    QSet<uid_t> owners;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        const int id = Convert::toInt16(rs.value(QStringLiteral("COMPANY_ID")));
        ids.insert(id);
        ++names[Convert::toText(rs.value(QStringLiteral("COMPANY_NAME")))];
        const QString file = QStringLiteral("%1/CompanyData/%2/%3")
                                 .arg(app)
                                 .arg(id)
                                 .arg(Convert::toText(rs.value(QStringLiteral("DATABASE_NAME"))));
        ASSERT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
        if (id == 1)
            continue;
        EXPECT_EQ(Fixtures::readAll(file), templateBytes) << file.toStdString();
        struct stat st
        {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        owners.insert(st.st_uid);
        Connection company;
        company.open(DataLinks::JetConnectionString(file));
        EXPECT_TRUE(company.isOpen());
    }
    rs.close();
    // Identifiers unique and without gaps: no add took an identifier another had, none failed.
    EXPECT_EQ(ids.size(), expected);
    EXPECT_EQ(*std::max_element(ids.begin(), ids.end()), expected);
    for (const QString& seatName : {QStringLiteral("ร้าน ก"), QStringLiteral("ร้าน ข")})
        for (int i = 1; i <= CompaniesPerSeat; ++i)
            EXPECT_EQ(names.value(QStringLiteral("%1 %2").arg(seatName).arg(i)), 1)
                << seatName.toStdString() << i;
    EXPECT_EQ(owners, (QSet<uid_t>{first->uid, second->uid}));
    EXPECT_EQ(Fixtures::sqlcipherShell(app + QStringLiteral("/MCLarkspur.mdb"),
                                       QStringLiteral("PRAGMA integrity_check;"), DataLinks::CommonPassword),
              QStringLiteral("ok"));
    EXPECT_FALSE(QFileInfo::exists(app + QStringLiteral("/MCLarkspur.mdb-journal")));
}

} // namespace

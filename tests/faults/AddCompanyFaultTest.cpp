#include "engine/Convert.h"
#include "engine/Recordset.h"
#include "launcher/core/LauncherGlobals.h"
#include "launcher/core/MdlDAO.h"
#include "launcher/core/PendingAdds.h"
#include "platform/doubles/ScriptedFileOperationUi.h"
#include "platform/fileop/ShellFileOperation.h"
#include "shared/AppFolder.h"
#include "tests/faults/FaultTable.h"
#include "tests/support/Fixtures.h"
#include "tools/mkappfolder/AppFolderMaker.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using FaultSeam::Call;
using FaultSeam::Step;

QList<int> companyIds(LauncherGlobals& globals)
{
    QList<int> ids;
    Recordset rs = MdlDAO::GetCompanyList(globals);
    for (int i = 0; i < rs.recordCount(); ++i, rs.moveNext())
        ids << Convert::toInt16(rs.value(QStringLiteral("COMPANY_ID")));
    return ids;
}

void openMaster(LauncherGlobals& globals, const QString& folder)
{
    globals.MasterConnection.setCursorLocation(Ado::UseClient);
    globals.MasterConnection.open(AppFolder::MasterDataLinkReference(folder));
    globals.DatabasePath = folder;
}

// A company added beside two others: its folder, its marker, its copy of the template and its row.
FaultTable::DurableWrite addCompany()
{
    FaultTable::DurableWrite write;
    // The company folder's calls; the master's own commit is the engine's to keep whole.
    write.watched = QStringLiteral("CompanyData");
    write.arrange = [](const QString& folder) {
        AppFolderMaker::Options options;
        options.companies = 2;
        AppFolderMaker::make(folder, options);
    };
    write.act = [](const QString& folder) {
        LauncherGlobals globals;
        openMaster(globals, folder);
        ScriptedFileOperationUi ui;
        ShellFileOperation files(ui);
        return MdlDAO::AddCompany(globals, files, QStringLiteral("ใหม่"));
    };
    write.expectDone = [](const QString& folder) {
        LauncherGlobals globals;
        openMaster(globals, folder);
        EXPECT_EQ(companyIds(globals), (QList<int>{1, 2, 3}));
        EXPECT_TRUE(Fixtures::readAll(folder + QStringLiteral("/CompanyData/3/3.mdb")) ==
                    Fixtures::readAll(folder + QStringLiteral("/CompanyData/Larkspur.mdb")))
            << "the copy differs from the template";
        // No partial copy is left; a marker whose removal failed is cleared at the next start.
        EXPECT_EQ(QDir(folder + QStringLiteral("/CompanyData/3"))
                      .entryList({QStringLiteral("*.mdb*")}, QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("3.mdb")});
    };
    // The master is whole when it lists the companies it listed; the engine may have rewritten its pages
    // in rolling the failed row back. Everything else is exactly as it was.
    write.expectFailed = [](const QString& folder, const DiskSnapshot::Snapshot& before) {
        auto after = DiskSnapshot::take(folder);
        auto old = before;
        after.remove(AppFolder::MasterDatabaseName);
        old.remove(AppFolder::MasterDatabaseName);
        // The folder of adds in progress stays once made, empty.
        const QString pending = QStringLiteral("CompanyData/") +
                                QFileInfo(PendingAdds::folderPath(QStringLiteral("CompanyData"))).fileName();
        if (!old.contains(pending) && after.value(pending) == "<folder>")
            after.remove(pending);
        EXPECT_TRUE(after == old) << "changed: " << DiskSnapshot::differences(old, after).toStdString();
        LauncherGlobals globals;
        openMaster(globals, folder);
        EXPECT_EQ(companyIds(globals), (QList<int>{1, 2}));
    };
    // The marker is made readable to other users where it can be; when it cannot, only another user's
    // clean-up of a killed add would be refused. A marker is closed only after its name is removed, so what
    // its close says concerns no file anyone reads again.
    write.mayContinue = [](const Step& step, int) {
        const bool marker = step.path.find("/.companydesk-adding/") != std::string::npos;
        return (marker && (step.call == Call::Chmod || step.call == Call::Close)) ||
               FaultTable::engineMayContinue(step);
    };
    return write;
}

TEST(AddCompanyFaults, AnAddEndsWithACompleteCompanyOrLeavesTheFolderAsItWas)
{
    FaultTable::failEachStep(addCompany(), FaultTable::usualErrors());
}

TEST(AddCompanyFaults, TheCopyIsOnTheDiskBeforeItsRowIsAdded)
{
    // The whole folder, the master included.
    FaultTable::DurableWrite write = addCompany();
    write.watched.clear();
    const std::vector<Step> steps = FaultTable::cleanRun(write);
    const int rename = FaultTable::find(steps, [](const Step& s) {
        return s.call == Call::Rename && s.path.ends_with("/CompanyData/3/3.mdb");
    });
    ASSERT_GE(rename, 0) << FaultTable::listing(steps);
    const std::string temporary = steps[size_t(rename)].from;
    const int synced = FaultTable::find(steps, [&](const Step& s) {
        return (s.call == Call::Fsync || s.call == Call::Fdatasync) && s.path == temporary;
    });
    EXPECT_GE(synced, 0) << FaultTable::listing(steps);
    EXPECT_LT(synced, rename) << FaultTable::listing(steps);
    const int folderSynced = FaultTable::find(
        steps,
        [](const Step& s) {
            return (s.call == Call::Syncfs || s.call == Call::Fsync) && s.path.ends_with("/CompanyData/3");
        },
        rename);
    ASSERT_GT(folderSynced, rename) << FaultTable::listing(steps);
    // The master's row comes after: its journal or its file is written only once the copy is durable.
    const int master = FaultTable::find(steps, [](const Step& s) {
        return s.call == Call::Write && s.path.find("MCLarkspur.mdb") != std::string::npos;
    });
    ASSERT_GE(master, 0) << FaultTable::listing(steps);
    EXPECT_GT(master, folderSynced) << FaultTable::listing(steps);
}

} // namespace

#include "base/AppError.h"
#include "engine/DataLinkFile.h"
#include "tests/faults/FaultTable.h"
#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

using FaultSeam::Call;
using FaultSeam::Step;

const QString Old = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/old/1/1.mdb");
const QString New = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/new/2/2.mdb");

// The launcher's data-link file rewritten for the next company: the old one whole or the new one whole.
FaultTable::DurableWrite dataLink()
{
    FaultTable::DurableWrite write;
    write.arrange = [](const QString& folder) {
        Fixtures::writeAll(folder + QStringLiteral("/datalink.udl"), Fixtures::dataLinkBytes(Old));
        QFile::setPermissions(folder + QStringLiteral("/datalink.udl"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                  QFileDevice::WriteGroup | QFileDevice::ReadOther);
    };
    write.act = [](const QString& folder) {
        try {
            DataLinkFile::write(folder + QStringLiteral("/datalink.udl"), New);
            return true;
        } catch (const AppError& error) {
            EXPECT_TRUE(error.description().contains(QStringLiteral("datalink.udl")))
                << error.description().toStdString();
            return false;
        }
    };
    // The temporary file is written unnamed and linked in by Qt, which names it another way when the link
    // fails; it is closed after the rename, its data synced before.
    write.mayContinue = [](const Step& step, int) {
        return step.call == Call::Link || step.call == Call::Close;
    };
    write.expectDone = [](const QString& folder) {
        EXPECT_EQ(DataLinkFile::readConnectionString(folder + QStringLiteral("/datalink.udl")), New);
        EXPECT_EQ(QFile::permissions(folder + QStringLiteral("/datalink.udl")),
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                      QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                      QFileDevice::ReadOther)
            << "the file keeps who may read and write it";
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("datalink.udl")});
    };
    return write;
}

TEST(DataLinkFaults, TheDataLinkFileIsWholeOldOrWholeNewWhateverStepFails)
{
    FaultTable::failEachStep(dataLink(), FaultTable::usualErrors());
}

TEST(DataLinkFaults, TheNewFileIsSyncedBeforeItIsRenamedIntoPlace)
{
    const std::vector<Step> steps = FaultTable::cleanRun(dataLink());
    const int rename = FaultTable::find(
        steps, [](const Step& s) { return s.call == Call::Rename && s.path.ends_with("/datalink.udl"); });
    ASSERT_GE(rename, 0) << FaultTable::listing(steps);
    // The file written last before the rename (an unnamed one until it is linked in) is synced after.
    int written = -1;
    for (int i = 0; i < rename; ++i) {
        if (steps[size_t(i)].call == Call::Write)
            written = i;
    }
    ASSERT_GE(written, 0) << FaultTable::listing(steps);
    const std::string file = steps[size_t(written)].path;
    const int synced = FaultTable::find(
        steps, [&](const Step& s) { return s.call == Call::Fsync && s.path == file; }, written);
    EXPECT_GE(synced, 0) << FaultTable::listing(steps);
    EXPECT_LT(synced, rename) << FaultTable::listing(steps);
}

} // namespace

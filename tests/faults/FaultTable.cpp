#include "tests/faults/FaultTable.h"
#include "base/AppError.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <set>

namespace FaultTable {

namespace {

using FaultSeam::Call;
using FaultSeam::Step;

bool removal(Call call)
{
    return call == Call::Unlink || call == Call::Rmdir;
}

// The paths the clean run wrote through: a close of anything else released a descriptor that only read.
std::set<std::string> writtenPaths(const std::vector<Step>& steps)
{
    std::set<std::string> written;
    for (const Step& step : steps) {
        if (step.call == Call::Create || step.call == Call::Write || step.call == Call::CopyRange ||
            step.call == Call::Truncate)
            written.insert(step.path);
    }
    return written;
}

std::string where(const QString& folder, const std::string& path)
{
    const std::string root = QDir(folder).canonicalPath().toStdString();
    return path.compare(0, root.size(), root) == 0 ? "." + path.substr(root.size()) : path;
}

std::string watchedPath(const DurableWrite& write, const QString& folder)
{
    return (write.watched.isEmpty() ? folder : folder + QLatin1Char('/') + write.watched).toStdString();
}

} // namespace

std::vector<int> usualErrors()
{
    return {ENOSPC, EIO, EXDEV, EACCES};
}

std::vector<Step> cleanRun(const DurableWrite& write)
{
    QTemporaryDir dir;
    write.arrange(dir.path());
    std::vector<Step> steps;
    bool done = false;
    {
        FaultSeam::Watch watch(watchedPath(write, dir.path()));
        done = write.act(dir.path());
        steps = watch.steps();
    }
    EXPECT_TRUE(done) << "the clean run reported a failure";
    if (done)
        write.expectDone(dir.path());
    return steps;
}

void failEachStep(const DurableWrite& write, const std::vector<int>& errors)
{
    const std::vector<Step> steps = cleanRun(write);
    ASSERT_FALSE(steps.empty()) << "the write made no call under its folder";
    const std::set<std::string> written = writtenPaths(steps);
    ASSERT_TRUE(!write.faulted || std::any_of(steps.cbegin(), steps.cend(), write.faulted))
        << "no step of the clean run is one to fail; it made:\n"
        << listing(steps);
    for (const Step& step : steps) {
        if (write.faulted && !write.faulted(step))
            continue;
        for (const int error : errors) {
            QTemporaryDir dir;
            SCOPED_TRACE(std::string(FaultSeam::name(step.call)) + " #" + std::to_string(step.occurrence) +
                         " " + where(dir.path(), step.path) + " failing with " + std::strerror(error));
            write.arrange(dir.path());
            const DiskSnapshot::Snapshot before = DiskSnapshot::take(dir.path());
            bool done = false;
            bool fired = false;
            std::vector<Step> faulted;
            {
                FaultSeam::Watch watch(watchedPath(write, dir.path()));
                watch.at(step.call, step.occurrence, FaultSeam::Action::Fail, error);
                done = write.act(dir.path());
                fired = watch.fired();
                faulted = watch.steps();
            }
            ASSERT_TRUE(fired) << "the run never came to the step; it made:\n" << listing(faulted);
            // Asked about the step as this run made it, so that its path is one that exists now.
            const int same = find(faulted, [&](const Step& s) {
                return s.call == step.call && s.occurrence == step.occurrence;
            });
            const Step& made = same >= 0 ? faulted[size_t(same)] : step;
            const bool tolerated = removal(step.call) ||
                                   (step.call == Call::Close && written.count(step.path) == 0) ||
                                   (write.mayContinue && write.mayContinue(made, error));
            if (done) {
                EXPECT_TRUE(tolerated) << "success reported although the step failed";
                write.expectDone(dir.path());
                continue;
            }
            if (write.expectFailed) {
                write.expectFailed(dir.path(), before);
                continue;
            }
            const DiskSnapshot::Snapshot after = DiskSnapshot::take(dir.path());
            if (removal(step.call)) {
                // A removal that failed may leave what it was removing; everything that was there stays.
                for (auto it = before.cbegin(); it != before.cend(); ++it)
                    EXPECT_TRUE(after.value(it.key()) == it.value()) << "changed: " << it.key().toStdString();
            } else {
                EXPECT_TRUE(after == before)
                    << "changed: " << DiskSnapshot::differences(before, after).toStdString();
            }
        }
    }
}

bool succeeds(const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const AppError& error) {
        EXPECT_FALSE(error.description().isEmpty());
        return false;
    }
}

bool engineMayContinue(const Step& step)
{
    return (step.call == Call::Chown && step.path.ends_with("-journal")) ||
           (step.call == Call::Fdatasync && QFileInfo(QString::fromStdString(step.path)).isDir());
}

int find(const std::vector<Step>& steps, const std::function<bool(const Step&)>& match, int start)
{
    for (int i = std::max(start, 0); i < int(steps.size()); ++i) {
        if (match(steps[size_t(i)]))
            return i;
    }
    return -1;
}

std::string listing(const std::vector<Step>& steps)
{
    std::string text;
    for (const Step& step : steps)
        text += "  " + FaultSeam::describe(step) + "\n";
    return text;
}

} // namespace FaultTable

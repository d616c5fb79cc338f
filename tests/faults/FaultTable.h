#pragma once

#include "tests/faults/FaultSeam.h"
#include "tests/support/DiskSnapshot.h"

#include <QString>
#include <functional>
#include <vector>

// Runs one durable write again and again with a fault at each of its steps. A clean run lists the calls
// it makes under its folder; then, for each listed call and each error, a fresh fixture is laid out and
// the write is run with that call failing. Every run must end one of two ways: success reported and the
// result complete, or failure reported and the fixture exactly as it was (nothing changed, nothing
// half-made left). A failed step that writes the result may never end in reported success.
namespace FaultTable {

struct DurableWrite
{
    // The part of the fixture whose calls are listed and failed, relative to it; empty: all of it.
    QString watched;
    // The steps of the clean run that are failed in turn; unset: every one.
    std::function<bool(const FaultSeam::Step& step)> faulted;
    // Lays out a fresh fixture in the (empty) folder.
    std::function<void(const QString& folder)> arrange;
    // Does the write on the fixture; whether it reported success. A reported failure must carry a
    // description: act checks that itself.
    std::function<bool(const QString& folder)> act;
    // Checks the fixture after a reported success.
    std::function<void(const QString& folder)> expectDone;
    // Checks the fixture after a reported failure, given what it held before; unset: exactly as before
    // (for a failed removal: everything that was there is still there).
    std::function<void(const QString& folder, const DiskSnapshot::Snapshot& before)> expectFailed;
    // A failed step the write may ride over (and then still report success with a complete result),
    // besides removals (cleanup) and closes of descriptors that wrote nothing.
    std::function<bool(const FaultSeam::Step& step, int error)> mayContinue;
};

// The calls of a clean run, which must succeed.
std::vector<FaultSeam::Step> cleanRun(const DurableWrite& write);

// The clean run, then each of its steps failed with each of the errors in turn.
void failEachStep(const DurableWrite& write, const std::vector<int>& errors);

// The errors every step is failed with: a full disk, a failing device, a move across filesystems,
// a refused permission.
std::vector<int> usualErrors();

// Runs a step that reports a failure by raising AppError: true when it ends without one, false when it
// raises one, which must then say something.
bool succeeds(const std::function<void()>& step);

// What the database engine rides over by design: giving root's journal the database's owner, and the
// sync of a folder after a journal is made or removed.
bool engineMayContinue(const FaultSeam::Step& step);

// The index of the first step from start on that the predicate accepts; -1 when there is none.
int find(const std::vector<FaultSeam::Step>& steps, const std::function<bool(const FaultSeam::Step&)>& match,
         int start = 0);
// The whole list, one step a line, for failure messages.
std::string listing(const std::vector<FaultSeam::Step>& steps);

} // namespace FaultTable

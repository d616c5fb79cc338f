#pragma once

#include <QString>
#include <QStringList>

namespace CompactionTest {

struct CrashReport
{
    int runs = 0;
    int killedBeforeReplacing = 0; // the database's file was still the original one
    int killedAfterReplacing = 0;  // the compacted file was in place, the process not yet ended
    int finished = 0;              // the kill came after the compaction had ended
    QString loss;                  // empty, or what was wrong with the books after which run
};

// Compacts the books in child processes and kills each with SIGKILL after a random time within the
// length of a typical whole compaction, using the tool folders in turn. After every run the books' path must
// open with the password and hold the rows it held before; the first run after which it does not ends
// the series. A few whole compactions are timed first, and one more per tool folder follows at the end,
// which must clear every leftover of the killed ones.
CrashReport killCompactions(const QString& books, const QString& password, const QStringList& toolFolders,
                            int runs);

} // namespace CompactionTest

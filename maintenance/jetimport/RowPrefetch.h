#pragma once

#include <QVariant>
#include <QVector>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace JetImport {

class JetTableReader;

// The rows of a Jet table read ahead on a thread of their own while the caller writes or checks the
// rows before them, so that reading and writing run side by side where there are two cores. At most a
// few small batches are held at a time: memory stays flat however many rows the table has. While it
// lives, nothing else may use the reader or its database.
class RowPrefetch
{
public:
    explicit RowPrefetch(JetTableReader& reader);
    // Stops the reading (after the row it is at) and waits for its thread.
    ~RowPrefetch();
    RowPrefetch(const RowPrefetch&) = delete;
    RowPrefetch& operator=(const RowPrefetch&) = delete;

    // As JetTableReader::next. A failure of the reading is raised here, in the caller's thread, once the
    // rows read before it have been handed out.
    bool next(QVector<QVariant>& values);

private:
    using Batch = QVector<QVector<QVariant>>;
    void read();

    JetTableReader& m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_ready;
    bool m_finished = false; // the reading thread has handed over its last batch (or its failure)
    bool m_stopping = false;
    std::exception_ptr m_failure;
    Batch m_current;
    qsizetype m_next = 0;
    std::thread m_thread; // last: started once everything above is made
};

} // namespace JetImport

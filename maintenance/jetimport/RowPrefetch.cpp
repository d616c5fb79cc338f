#include "maintenance/jetimport/RowPrefetch.h"

#include "maintenance/jetimport/JetDatabase.h"

namespace JetImport {

namespace {

constexpr qsizetype BatchRows = 256;
constexpr size_t BatchesAhead = 4;

} // namespace

RowPrefetch::RowPrefetch(JetTableReader& reader) : m_reader(reader), m_thread([this] { read(); }) {}

RowPrefetch::~RowPrefetch()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void RowPrefetch::read()
{
    try {
        QVector<QVariant> values;
        bool more = true;
        while (more) {
            Batch batch;
            batch.reserve(BatchRows);
            while (batch.size() < BatchRows && (more = m_reader.next(values)))
                batch.append(values);
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || m_ready.size() < BatchesAhead; });
            if (m_stopping)
                return;
            if (!batch.isEmpty())
                m_ready.push_back(std::move(batch));
            m_finished = !more;
            lock.unlock();
            m_changed.notify_all();
        }
    } catch (...) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_failure = std::current_exception();
            m_finished = true;
        }
        m_changed.notify_all();
    }
}

bool RowPrefetch::next(QVector<QVariant>& values)
{
    if (m_next >= m_current.size()) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_finished; });
        if (m_ready.empty()) {
            if (m_failure)
                std::rethrow_exception(m_failure);
            return false;
        }
        m_current = std::move(m_ready.front());
        m_ready.pop_front();
        m_next = 0;
        lock.unlock();
        m_changed.notify_all();
    }
    values = std::move(m_current[m_next++]);
    return true;
}

} // namespace JetImport

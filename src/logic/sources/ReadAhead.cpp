#include "sources/ReadAhead.h"

#include <utility>

namespace AddFolder {

void ReadAhead::start(qsizetype count, std::function<void(qsizetype)> work) {
    stop();
    m_count = count;
    m_work = std::move(work);
    m_next.store(0);
    m_done = std::make_unique<std::atomic<int>[]>(static_cast<std::size_t>(count));
    m_stopping.store(false);
    if (count > 1 && std::thread::hardware_concurrency() > 1) {
        m_helper = std::thread([this] {
            while (!m_stopping.load(std::memory_order_relaxed)) {
                const qsizetype i = m_next.fetch_add(1);
                if (i >= m_count)
                    return;
                doItem(i);
            }
        });
    }
}

void ReadAhead::doItem(qsizetype i) {
    m_work(i);
    std::atomic<int>& done = m_done[static_cast<std::size_t>(i)];
    done.store(1, std::memory_order_release);
}

void ReadAhead::finish(qsizetype i) {
    Q_ASSERT(i >= 0 && i < m_count);
    const std::atomic<int>& done = m_done[static_cast<std::size_t>(i)];
    while (done.load(std::memory_order_acquire) == 0) {
        // While the helper is on item i the caller does the next item nobody has taken rather
        // than wait; once none is left it only gives the helper room to end i.
        const qsizetype next = m_next.fetch_add(1);
        if (next < m_count)
            doItem(next);
        else
            std::this_thread::yield();
    }
}

void ReadAhead::stop() {
    m_stopping.store(true);
    if (m_helper.joinable())
        m_helper.join();
}

} // namespace AddFolder

#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace AddFolder {

// Work on a list of items shared between the caller and one helper thread. Both take the items
// in list order, each the next one nobody has taken yet; the caller asks for them in that order
// and gets each as soon as it is done, so the helper is usually ahead and the caller rarely waits.
// work(i) runs once for each item on one of the two threads, and must only touch what belongs to
// item i besides what no thread changes meanwhile.
class ReadAhead {
public:
    ReadAhead() = default;
    Q_DISABLE_COPY_MOVE(ReadAhead)
    ~ReadAhead() { stop(); }

    // Ends any earlier work, then starts on items 0 to count - 1. Without a second processor no
    // helper is started: the caller does every item in finish().
    void start(qsizetype count, std::function<void(qsizetype)> work);
    // Returns once item i (below the count) is done: the caller does the items nobody has taken
    // up to it itself, and while the helper is on item i the next ones nobody has taken.
    void finish(qsizetype i);
    // The helper takes no further item; returns once it has ended. Items not done stay undone.
    void stop();
    qsizetype count() const { return m_count; }

private:
    void doItem(qsizetype i);

    qsizetype m_count = 0;
    std::function<void(qsizetype)> m_work;
    std::atomic<qsizetype> m_next{0};
    std::unique_ptr<std::atomic<int>[]> m_done;
    std::atomic<bool> m_stopping{false};
    std::thread m_helper;
};

} // namespace AddFolder

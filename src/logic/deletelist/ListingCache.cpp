#include "deletelist/ListingCache.h"

#include "deletelist/Sampling.h"

#include <QFile>
#include <algorithm>
#include <chrono>

namespace Delete1 {

bool settledWhenListed(const FolderStamp& stamp, qint64 nowNsec) {
    const qint64 newest = std::max(stamp.modifiedSec * 1'000'000'000 + stamp.modifiedNsec,
                                   stamp.changedSec * 1'000'000'000 + stamp.changedNsec);
    // A time in the future (another machine's clock) is as unsettled as a recent one.
    return nowNsec - newest >= RacyWindowNsec;
}

namespace {

qint64 nowNsec() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

void ListingCache::beginBuild(const QStringList& rows) {
    m_listed = 0;
    m_reused = 0;
    if (rows != m_rows) {
        m_entries.clear();
        m_rows = rows;
    }
    m_entries.resize(static_cast<std::size_t>(rows.size()));
}

void ListingCache::list(qsizetype row, const QString& folder) {
    Entry& entry = m_entries.at(static_cast<std::size_t>(row));
    FolderStamp stamp;
    // The stamp is read before the listing: a change made while listing moves it past what is
    // kept, so the next pass lists again.
    const bool stamped = readFolderStamp(folder, stamp);
    if (entry.reusable && stamped && stamp == entry.stamp && entry.folder == folder) {
        ++m_reused;
        return;
    }
    const qint64 listedAt = nowNsec();
    // Files still where they were keep their text from the earlier listing, so listing an
    // unchanged folder again makes and frees nothing per file.
    QStringList previous;
    if (entry.folder == folder)
        previous = std::move(entry.files);
    entry.reusable = false;
    entry.folder = folder;
    entry.files = QStringList();
    ++m_listed;
    appendOrdinaryFiles(folder, entry.files, &previous);
    entry.stamp = stamp;
    entry.reusable = stamped && settledWhenListed(stamp, listedAt);
}

const QStringList& ListingCache::files(qsizetype row) const {
    static const QStringList none;
    return row >= 0 && row < rowCount() ? m_entries[static_cast<std::size_t>(row)].files : none;
}

qsizetype ListingCache::fileCount() const {
    qsizetype count = 0;
    for (const Entry& entry : m_entries)
        count += entry.files.size();
    return count;
}

void ListingCache::expire() {
    for (Entry& entry : m_entries)
        entry.reusable = false;
}

void ListingCache::clear() {
    m_rows = QStringList();
    m_entries = {};
    m_listed = 0;
    m_reused = 0;
}

} // namespace Delete1

#include "deletelist/ListingCache.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace Delete1 {

bool settledWhenListed(const FolderStamp& stamp, qint64 nowNsec) {
    const qint64 newest = std::max(stamp.modifiedSec * 1'000'000'000 + stamp.modifiedNsec,
                                   stamp.changedSec * 1'000'000'000 + stamp.changedNsec);
    // A time in the future (another machine's clock) is as unsettled as a recent one.
    return nowNsec - newest >= RacyWindowNsec;
}

qint64 stampClockNsec() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::function<void(FolderListing&&)> WalkListings::sink() {
    return [this](FolderListing&& listing) {
        m_index.insert(listing.folder, static_cast<qsizetype>(m_files.size()));
        m_files.push_back(std::move(listing.files));
    };
}

bool WalkListings::take(const QString& folder, QStringList& files) {
    const qsizetype at = m_index.value(folder, -1);
    if (at < 0)
        return false;
    FolderFiles& listing = m_files[static_cast<std::size_t>(at)];
    files = listing.paths();
    listing = FolderFiles();
    return true;
}

bool WalkListings::take(const QString& folder, FolderFiles& files) {
    const qsizetype at = m_index.value(folder, -1);
    if (at < 0)
        return false;
    files = std::exchange(m_files[static_cast<std::size_t>(at)], FolderFiles());
    return true;
}

void ListingCache::beginBuild(const QStringList& rows) {
    m_listed = 0;
    m_reused = 0;
    ++m_pass;
    m_nextPrimed = 0;
    // Room for the walk's listings at once, rather than growing the table as they join it (they
    // often replace listings of the same folders: the table is not made larger than that).
    m_entries.reserve(std::max(m_entries.size(), static_cast<qsizetype>(m_primed.size())));
    m_rowFiles.assign(static_cast<std::size_t>(rows.size()), Files());
}

bool ListingCache::takePrimed(const QString& folder, Files& rowFiles) {
    // One of the next few listings in the walk's order (a row the walk read under another text,
    // such as the chosen folder's, is passed over), or the one just taken (a row given twice in a
    // row).
    constexpr std::size_t LookAhead = 4;
    Primed* primed = nullptr;
    for (std::size_t i = m_nextPrimed; i < m_primed.size() && i < m_nextPrimed + LookAhead; ++i) {
        if (m_primed[i].folder == folder) {
            primed = &m_primed[i];
            m_nextPrimed = i + 1;
            break;
        }
    }
    if (primed == nullptr && m_nextPrimed > 0 && m_primed[m_nextPrimed - 1].folder == folder)
        primed = &m_primed[m_nextPrimed - 1];
    if (primed == nullptr)
        return false;
    if (!primed->taken) {
        // It joins the kept listings in place of any older one of the folder.
        primed->taken = true;
        primed->entry.pass = m_pass;
        m_entries.insert(primed->folder, primed->entry);
    }
    rowFiles = primed->entry.files;
    return true;
}

void ListingCache::list(qsizetype row, const QString& folder) {
    Files& rowFiles = m_rowFiles.at(static_cast<std::size_t>(row));
    if (takePrimed(folder, rowFiles)) {
        // Read by the walk a moment ago, in this same click.
        ++m_reused;
        return;
    }
    auto found = m_entries.find(folder);
    if (found == m_entries.end())
        found = m_entries.insert(folder, Entry());
    found->pass = m_pass;
    Entry& entry = *found;
    FolderStamp stamp;
    // The stamp is read before the listing: a change made while listing moves it past what is
    // kept, so the next pass lists again.
    const bool stamped = readFolderStamp(folder, stamp);
    if (entry.reusable && stamped && stamp == entry.stamp) {
        ++m_reused;
        rowFiles = entry.files;
        return;
    }
    const qint64 listedAt = stampClockNsec();
    entry.reusable = false;
    entry.files.reset();
    ++m_listed;
    // The row holds the names read before a failure; the entry only a listing read to its end.
    auto fresh = std::make_shared<FolderFiles>(folder);
    rowFiles = fresh;
    listOrdinaryFiles(*fresh);
    fresh->squeeze();
    entry.files = std::move(fresh);
    entry.stamp = stamp;
    entry.reusable = stamped && settledWhenListed(stamp, listedAt);
}

void ListingCache::endBuild() {
    m_entries.removeIf([this](const auto& entry) { return entry.value().pass != m_pass; });
    // The walk's listings this pass did not take are forgotten.
    m_primed.clear();
    m_nextPrimed = 0;
}

const FolderFiles& ListingCache::files(qsizetype row) const {
    static const FolderFiles none;
    if (row < 0 || row >= rowCount())
        return none;
    const Files& files = m_rowFiles[static_cast<std::size_t>(row)];
    return files ? *files : none;
}

qsizetype ListingCache::fileCount() const {
    qsizetype count = 0;
    for (const Files& files : m_rowFiles)
        count += files ? files->size() : 0;
    return count;
}

DrawnFiles ListingCache::drawn(const std::vector<qsizetype>& positions) const {
    return DrawnFiles(m_rowFiles, positions);
}

void ListingCache::prime(FolderListing listing) {
    const bool settled = settledWhenListed(listing.stamp, listing.listedAtNsec);
    // Kept to the end of the next pass, and beyond it when a row of that pass lists it.
    m_primed.push_back({std::move(listing.folder),
                        Entry{listing.stamp, settled,
                              std::make_shared<const FolderFiles>(std::move(listing.files)), 0},
                        false});
}

void ListingCache::expire() {
    for (Entry& entry : m_entries)
        entry.reusable = false;
    m_primed.clear();
}

void ListingCache::clear() {
    m_entries = {};
    m_primed = {};
    m_nextPrimed = 0;
    m_rowFiles = {};
    m_listed = 0;
    m_reused = 0;
}

} // namespace Delete1

#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <vector>

#include "deletelist/DrawnFiles.h"
#include "deletelist/FolderFiles.h"

namespace Delete1 {

// When a folder last changed, as its file system records it: the modification time (an entry
// was added, removed or renamed) and the status change time, each to the nanosecond where the
// file system keeps them.
struct FolderStamp {
    qint64 modifiedSec = 0;
    qint64 modifiedNsec = 0;
    qint64 changedSec = 0;
    qint64 changedNsec = 0;
    bool operator==(const FolderStamp&) const = default;
};

// Reads the folder's stamp; false when it cannot be read (missing, not a folder, no access).
bool readFolderStamp(const QString& folder, FolderStamp& stamp);

// A listing taken while the folder's newest time is less than this old is not reused: a change
// within the same timestamp tick would leave the stamp as it was.
inline constexpr qint64 RacyWindowNsec = 2'000'000'000;

// True when a listing taken at nowNsec (nanoseconds since the epoch, the clock the stamps use)
// may be reused later: both times lie at least the racy window before it.
bool settledWhenListed(const FolderStamp& stamp, qint64 nowNsec);

// Now on the clock the stamps use, in nanoseconds since the epoch.
qint64 stampClockNsec();

// A folder's ordinary files as appendOrdinaryFiles lists them, read by someone else (the
// subfolder walk reads the same entries), with the stamp read before them and when.
struct FolderListing {
    QString folder;
    FolderStamp stamp;
    qint64 listedAtNsec = 0;
    FolderFiles files;
};

// The listings a subfolder walk hands over, for whoever pools the walk's folders right after it
// instead of reading each folder a second time.
class WalkListings {
public:
    // What to give DiskFolderTree::keepListings.
    std::function<void(FolderListing&&)> sink();
    // Moves the walk's listing of the folder (its text as the walk searched it) into files as
    // full paths; false when the walk gave none. Several threads may take different folders at
    // once once the walk is over.
    bool take(const QString& folder, QStringList& files);
    // The same, kept compactly: moves the walk's listing of the folder into files.
    bool take(const QString& folder, FolderFiles& files);

private:
    QHash<QString, qsizetype> m_index;
    std::vector<FolderFiles> m_files;
};

// The ordinary files of each source row's folder, kept between rebuilds by the folder's text. A
// folder's listing is reused while its stamp is unchanged and was settled when the listing was
// taken; otherwise the folder is listed again. A listing primed by a walk is taken as it is by
// the next pass, the rebuild right after the walk, without a second look at the folder; later
// passes hold it to the same rule. A pass keeps only the folders its rows list, and the next pass
// after expire() lists every folder afresh. Listings are kept compactly (FolderFiles), and the
// files drawn from them share them (DrawnFiles).
class ListingCache {
public:
    // Starts a pass over the source rows (their texts as the list holds them).
    void beginBuild(const QStringList& rows);
    // Lists the folder of row (0-based), terminated by the separator, or reuses its listing.
    // A failure to list throws Failure; the names read before it stay in files(row) but are
    // not kept for the next pass.
    void list(qsizetype row, const QString& folder);
    // Ends the pass: the listings of folders no row listed are dropped.
    void endBuild();
    // The files of the row's folder in listing order; none for a row not in the pass.
    const FolderFiles& files(qsizetype row) const;
    qsizetype rowCount() const { return static_cast<qsizetype>(m_rowFiles.size()); }
    // Total number of files over all rows.
    qsizetype fileCount() const;
    // The files at the given positions (each below fileCount()) of the pool, the rows' listings
    // taken in row order, in the order of the positions; they share the listings.
    DrawnFiles drawn(const std::vector<qsizetype>& positions) const;
    // Folders listed from disk, and listings reused, in the current pass.
    int listedCount() const { return m_listed; }
    int reusedCount() const { return m_reused; }
    // Keeps a listing the walk has just taken: the next pass uses it as it is, and keeps it
    // beyond that pass only when the folder was settled when it was taken.
    void prime(FolderListing listing);
    // The next pass lists every folder afresh.
    void expire();
    // Forgets every listing.
    void clear();

private:
    // A listing is shared by its entry and the rows of a pass that list its folder.
    using Files = std::shared_ptr<const FolderFiles>;
    struct Entry {
        FolderStamp stamp;
        bool reusable = false;
        Files files;
        // The pass that last listed or reused it.
        quint64 pass = 0;
    };
    // A listing a walk handed over, waiting for the next pass; taken, it joins the table.
    struct Primed {
        QString folder;
        Entry entry;
        bool taken = false;
    };
    // Takes the walk's listing of the folder for the row, when there is one; true when taken.
    bool takePrimed(const QString& folder, Files& rowFiles);
    QHash<QString, Entry> m_entries;
    // In the order the walk read the folders, which is the order of the rows it adds: each row
    // looks at the next one first, so the click's rebuild finds them without a table.
    std::vector<Primed> m_primed;
    std::size_t m_nextPrimed = 0;
    std::vector<Files> m_rowFiles;
    quint64 m_pass = 0;
    int m_listed = 0;
    int m_reused = 0;
};

} // namespace Delete1

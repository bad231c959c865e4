#pragma once

#include "deletelist/FolderFiles.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <vector>

namespace Delete1 {

// The files of a draw as a list of paths, held compactly: each file is its listing and its place
// in it, the listings shared with the cache that read them. A path is made only when asked for,
// so a million drawn files cost a few bytes each until they are shown or moved. Copies share
// their data until one of them changes.
class DrawnFiles {
public:
    using Listings = std::vector<std::shared_ptr<const FolderFiles>>;

    DrawnFiles() = default;
    // The files at the positions (each below the sum of the listings' sizes) of the pool made of
    // the listings end to end, in the order of the positions.
    DrawnFiles(const Listings& listings, const std::vector<qsizetype>& positions);

    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    // The full path of file i (0-based).
    QString at(qsizetype i) const;
    // The length of at(i) in UTF-16 code units, without making it.
    qsizetype length(qsizetype i) const;
    // Every path, in order.
    QStringList paths() const;
    // Takes count files out from position first on.
    void remove(qsizetype first, qsizetype count);

private:
    struct Entry {
        quint32 listing;
        quint32 file;
    };
    struct Data {
        Listings listings;
        std::vector<Entry> entries;
    };
    std::shared_ptr<Data> m_data;
};

} // namespace Delete1

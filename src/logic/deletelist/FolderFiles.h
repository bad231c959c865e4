#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>
#include <utility>
#include <vector>

namespace Delete1 {

// A folder's ordinary files, kept compactly: the folder's text (ending in the separator) once, and
// the bare names as UTF-8 bytes end to end. A full path is made only when asked for, for what is
// shown or moved, so a listing costs a few bytes beyond its names per file instead of a text of
// its own.
class FolderFiles {
public:
    FolderFiles() = default;
    explicit FolderFiles(QString folder) : m_folder(std::move(folder)) {}

    const QString& folder() const { return m_folder; }
    qsizetype size() const { return static_cast<qsizetype>(m_ends.size()); }
    bool isEmpty() const { return m_ends.empty(); }
    // The name of file i (0-based) as its UTF-8 bytes.
    QByteArrayView name(qsizetype i) const;
    // The length of name i in UTF-16 code units, as at(i) holds it after the folder.
    qsizetype nameLength(qsizetype i) const;
    // The full path of file i: the folder followed by the name.
    QString at(qsizetype i) const;
    // Every full path, in listing order.
    QStringList paths() const;
    // Asks the processor to fetch what at(i) reads: the end of name i, then, once that is there,
    // the name itself. Paths made in random order then overlap their reads from memory.
    void prefetchEnd(qsizetype i) const;
    void prefetchName(qsizetype i) const;

    // Appends a file by its name in UTF-8 (a name that is valid UTF-8).
    void append(QByteArrayView name);
    // Gives back the room kept for further names; for a listing that is complete.
    void squeeze();

private:
    QString m_folder;
    QByteArray m_names;
    // Where each name ends in m_names.
    std::vector<quint32> m_ends;
    bool m_ascii = true;
};

// The pool made of listings end to end (in the given order): what a drawn position (0-based,
// below the sum of their sizes) names. Positions are found by a binary search over where each
// listing starts; empty listings take no place.
class PooledListings {
public:
    explicit PooledListings(std::vector<const FolderFiles*> listings);
    qsizetype size() const { return m_size; }
    // The listing holding the position, and the file's place in it.
    std::pair<const FolderFiles*, qsizetype> place(qsizetype position) const;
    // Calls take(files, i) for each position in turn; what a call a few positions ahead reads is
    // fetched early, so that the reads from memory of positions spread over the pool overlap.
    template <class Take> void visit(const std::vector<qsizetype>& positions, Take&& take) const {
        constexpr std::size_t ahead = 16;
        for (std::size_t i = 0; i < positions.size(); ++i) {
            if (i + ahead < positions.size()) {
                const auto [files, at] = place(positions[i + ahead]);
                files->prefetchEnd(at);
            }
            if (i + ahead / 2 < positions.size()) {
                const auto [files, at] = place(positions[i + ahead / 2]);
                files->prefetchName(at);
            }
            const auto [files, at] = place(positions[i]);
            take(*files, at);
        }
    }
    // The full paths at the positions, in their order.
    QStringList paths(const std::vector<qsizetype>& positions) const;

private:
    std::vector<const FolderFiles*> m_listings; // the non-empty ones
    std::vector<qsizetype> m_starts;            // where each of them starts in the pool
    qsizetype m_size = 0;
};

// Lists the folder's ordinary files into files, whose folder text names it (ending in the
// separator), as appendOrdinaryFiles decides which entries those are. A missing folder, or a path
// that is no folder, gives none; any other failure to list throws Failure (the names read before
// it stay).
void listOrdinaryFiles(FolderFiles& files);

} // namespace Delete1

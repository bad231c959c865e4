#pragma once

#include "common/ErrorReport.h"
#include "deletelist/ListingCache.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace AddFolder {

// Attribute bits of a folder, with the values the platform's scripting object gives them.
namespace Attribute {
inline constexpr int ReadOnly = 1;
inline constexpr int Hidden = 2;
inline constexpr int System = 4;
inline constexpr int Directory = 16;
inline constexpr int Alias = 1024;
} // namespace Attribute

// A folder that cannot be opened or listed. The kind decides what the walk does with it: a folder
// it may not read or that has vanished leaves the result, any other failure only ends its listing.
class FolderFailure : public Failure {
public:
    enum class Kind { PermissionDenied, NotFound, Other };
    FolderFailure(Kind kind, const QString& description) : Failure(description), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// What the subfolder walk asks of a folder. Paths are texts ending in the separator.
class FolderTree {
public:
    FolderTree() = default;
    Q_DISABLE_COPY_MOVE(FolderTree)
    virtual ~FolderTree() = default;

    // The attribute value of an existing folder; no value when the path names no folder or cannot
    // be looked at. May throw FolderFailure.
    virtual std::optional<int> attributes(const QString& folder) = 0;
    // True for the root folder of a drive or of the file system.
    virtual bool isRoot(const QString& folder) = 0;
    // Appends the names of the folder's immediate subfolders in the order the file system lists
    // them; "." and ".." are not among them, nor are links to folders. Throws FolderFailure when
    // the folder cannot be opened or its listing breaks off; names appended before stay.
    virtual void subFolders(const QString& folder, QStringList& names) = 0;
    // A folder's part of the walk in one go: false when the path names no folder (attributes()
    // gives none). Otherwise, when the folder is one to search (its attribute value is neither 22
    // nor 1046, or it is a root) and goOn() then answers true, its subfolders are appended as
    // subFolders() appends them, with the same failures. The disk does it with one opening of the
    // folder; this default asks attributes(), isRoot() and subFolders().
    virtual bool searchFolder(const QString& folder, const std::function<bool()>& goOn,
                              QStringList& names);
    // The walk is about to search these folders with searchFolder(), one after another in this
    // order. A tree may read them ahead (say, on another thread); what searchFolder() then gives
    // must be what it would give without. This default does nothing.
    virtual void searchAhead(const QStringList& folders) { Q_UNUSED(folders) }
    // The same before attributes() is asked of these folders in this order.
    virtual void lookAhead(const QStringList& folders) { Q_UNUSED(folders) }
};

// True for the attribute values whose folders the walk neither searches nor returns, unless they
// are roots: hidden system folders (22), also with the alias bit (1046). Equality, not bits.
inline bool isSkippedValue(int attributes) {
    return attributes == 22 || attributes == 1046;
}

// The folders on disk. Directory 16, plus hidden 2 for a name starting with "." and read-only 1
// for a folder its owner may not write to (POSIX); the platform's own attribute bits on Windows.
// Symbolic links to folders are neither followed nor listed.
class DiskFolderTree : public FolderTree {
public:
    DiskFolderTree();
    ~DiskFolderTree() override;
    std::optional<int> attributes(const QString& folder) override;
    bool isRoot(const QString& folder) override;
    void subFolders(const QString& folder, QStringList& names) override;
    // On POSIX systems the folder is opened once and its entries read from that handle; no
    // folder there carries the system attribute, so none is skipped by its value and no separate
    // look is needed.
    bool searchFolder(const QString& folder, const std::function<bool()>& goOn,
                      QStringList& names) override;
    // On POSIX systems a second thread reads the folders (or looks at them) ahead of the walk,
    // each the next one the walk has not asked for yet; answers are given in the walk's order.
    // A folder the walk asks for out of that order is read as without them.
    void searchAhead(const QStringList& folders) override;
    void lookAhead(const QStringList& folders) override;
    // From now on each folder searched also hands its ordinary files to sink as soon as it is
    // read, from the same entries as its subfolders, with its stamp read before them: the
    // listings the pool after the walk would otherwise read again. Every listing read to its
    // end is handed over, settled or not: the receiver decides how long it may be trusted.
    using ListingSink = std::function<void(Delete1::FolderListing&&)>;
    void keepListings(ListingSink sink) { m_listingSink = std::move(sink); }

private:
    // The first folder searched stays open: the folders below it are reached from it by the rest
    // of their path, so the system does not look up the whole path again for each of them.
    QString m_anchor;
    int m_anchorHandle = -1;
    ListingSink m_listingSink;
    struct Ahead;
    std::unique_ptr<Ahead> m_ahead;
};

} // namespace AddFolder

#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// The outcome of moving one path to the trash.
struct TrashResult {
    bool moved = false;
    QString reason;        // why it was not moved
    QString trashedPath;   // where it went (the entry in the trash's files folder) when moved
    bool gone = false;     // nothing was at the path when the move was tried
    bool isFolder = false; // a folder was at the path (it is never moved; it stays or is put back)
    // The platform's shell deleted it for good instead of moving it: a fault, never "moved".
    bool destroyed = false;
};

// What a run records of the folder a file left, looked at when its first file moves: device and
// inode, birth time where the file system keeps one (zero otherwise), and its resolved path when
// that differs from the path the file was given by.
struct FolderLook {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 bornSeconds = 0;
    quint32 bornNanoseconds = 0;
    QByteArray real;
};

// A move about to happen, told to a MoveWitness just before the rename: the entry's absolute path
// as the file system takes it (no ".", ".." or doubled "/"), its path in the trash, its device and
// inode (which the rename keeps) and its folder.
struct MoveNotice {
    const QByteArray& original;
    const QByteArray& trashed;
    quint64 device = 0;
    quint64 inode = 0;
    const FolderLook& folder;
};

// Told of each move before it happens, so that a record names the entry before it is in the trash:
// a process killed right after the rename has recorded it already.
class MoveWitness {
public:
    MoveWitness() = default;
    Q_DISABLE_COPY_MOVE(MoveWitness)
    virtual ~MoveWitness() = default;
    virtual void aboutToMove(const MoveNotice& notice) = 0;
    // The move told last did not happen, or was undone (a folder that took the file's place).
    virtual void notMoved() = 0;
};

// Moves one path (a file, or a symbolic link as the link itself) to the desktop trash.
class Trash {
public:
    Trash() = default;
    Q_DISABLE_COPY_MOVE(Trash)
    virtual ~Trash() = default;
    virtual TrashResult moveToTrash(const QString& path) = 0;
    // Makes what was moved so far durable, so that a power cut loses neither an entry's record
    // nor its place in the trash. A caller that moves many paths calls it once at the end of the
    // run rather than paying for it per path; a trash flushes what is left when it is destroyed.
    virtual void flush() {}
    // The trash folders found renamed or replaced (at a re-check, or at a flush) since the last
    // call: each as the path files were said to go to, and where the folder is now (empty when
    // unknown). The trash no longer uses them.
    virtual std::vector<std::pair<QString, QString>> takeMovedFolders() { return {}; }
    // True when moveToTrash itself looks at the path first and answers for what is there: nothing
    // (gone), a folder (never moved, isFolder with the reason) or an entry it cannot look at (the
    // reason). A caller can then leave its own look out.
    [[nodiscard]] virtual bool looksBeforeMoving() const { return false; }
    // The witness told of each move before its rename (null: none). A trash that cannot tell
    // moves ahead ignores it, and its caller records what moved after the move.
    void setWitness(MoveWitness* witness) { m_witness = witness; }

protected:
    [[nodiscard]] MoveWitness* witness() const { return m_witness; }

private:
    MoveWitness* m_witness = nullptr;
};

// The platform's trash: our own freedesktop.org trash on Linux and other freedesktop systems, the
// shell's Recycle Bin on Windows, QFile::moveToTrash on macOS. Each platform's implementation is a
// file of its own.
class DesktopTrash : public Trash {
public:
    DesktopTrash();
    ~DesktopTrash() override;
    // Keeps each trash it used open for the life of the object (its folders' descriptors,
    // re-checked when a run first uses it), so a run pays little more per file than the info
    // file and the rename.
    TrashResult moveToTrash(const QString& path) override;
    // The freedesktop trash: one syncfs per volume trashed on since the last flush.
    void flush() override;
    std::vector<std::pair<QString, QString>> takeMovedFolders() override;
    [[nodiscard]] bool looksBeforeMoving() const override { return true; }

    // For tests: runs between the last look at the path (and the witness's notice) and the move
    // itself, so a test can change what is at the path just then; afterMove runs right after a
    // rename that succeeded. Used by the freedesktop implementation only.
    std::function<void(const QString& path)> beforeMove;
    std::function<void(const QString& path)> afterMove;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

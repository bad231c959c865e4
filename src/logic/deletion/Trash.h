#pragma once

#include <QString>
#include <functional>
#include <memory>

// The outcome of moving one path to the trash.
struct TrashResult {
    bool moved = false;
    QString reason;        // why it was not moved
    QString trashedPath;   // where it went (the entry in the trash's files folder) when moved
    bool gone = false;     // nothing was at the path when the move was tried
    bool isFolder = false; // a folder was at the path (it is never moved; it stays or is put back)
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
    // True when moveToTrash itself looks at the path first and answers for what is there: nothing
    // (gone), a folder (never moved, isFolder with the reason) or an entry it cannot look at (the
    // reason). A caller can then leave its own look out.
    [[nodiscard]] virtual bool looksBeforeMoving() const { return false; }
};

// The platform's trash: our own freedesktop.org trash on Linux and other freedesktop systems,
// QFile::moveToTrash on Windows and macOS. Each platform's implementation is a file of its own.
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
    [[nodiscard]] bool looksBeforeMoving() const override { return true; }

    // For tests: runs between the last look at the path and the move itself, so a test can
    // change what is at the path just then. Used by the freedesktop implementation only.
    std::function<void(const QString& path)> beforeMove;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

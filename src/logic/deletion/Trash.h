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
};

// The platform's trash: our own freedesktop.org trash on Linux and other freedesktop systems,
// QFile::moveToTrash on Windows and macOS. Each platform's implementation is a file of its own.
class DesktopTrash : public Trash {
public:
    DesktopTrash();
    ~DesktopTrash() override;
    TrashResult moveToTrash(const QString& path) override;

    // For tests: runs between the last look at the path and the move itself, so a test can
    // change what is at the path just then. Used by the freedesktop implementation only.
    std::function<void(const QString& path)> beforeMove;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

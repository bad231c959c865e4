#pragma once

#include <QString>

// The outcome of moving one path to the trash.
struct TrashResult {
    bool moved = false;
    QString reason; // the platform's reason when not moved
};

// Moves one path (a file, or a symbolic link as the link itself) to the desktop trash.
class Trash {
public:
    Trash() = default;
    Trash(const Trash&) = delete;
    Trash& operator=(const Trash&) = delete;
    virtual ~Trash() = default;
    virtual TrashResult moveToTrash(const QString& path) = 0;
};

// The platform's trash: GIO on freedesktop systems, Qt on Windows and macOS.
class DesktopTrash : public Trash {
public:
    TrashResult moveToTrash(const QString& path) override;
};

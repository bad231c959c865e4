#pragma once

// The folders of a freedesktop.org trash, in POSIX calls: finding, opening and making the home
// trash and a volume's top-directory trash, checking that a top trash is the user's alone, and
// removing again the folders a refused call made.
#include <QByteArray>
#include <QString>

#include <climits>
#include <cstddef>
#include <memory>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace TrashFolders {

// A file descriptor that closes itself.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    ~Fd() { reset(); }
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// The system's text for an errno value.
QString errorText(int error);
// A path in bytes as shown to the user.
QString shown(const QByteArray& path);
// The folder path with "/" after it, ready to have a name appended.
QByteArray withSlash(const QByteArray& folder);

// Whether a trash folder of the top of a volume is the user's alone: a real folder of theirs that
// no one else can write to. When not, reason says why.
bool checkPrivate(const struct stat& st, const QByteArray& path, QString& reason);

// The folders one call made, removed again (the last made first) unless kept: a call that moves
// nothing leaves no folder behind.
class MadeFolders {
public:
    MadeFolders() = default;
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;
    MadeFolders(MadeFolders&&) = delete;
    MadeFolders& operator=(MadeFolders&&) = delete;
    ~MadeFolders();
    void add(const QByteArray& path) { m_paths.push_back(path); }
    [[nodiscard]] bool any() const { return !m_paths.empty(); }
    [[nodiscard]] std::size_t size() const { return m_paths.size(); }
    // Removes those made after the first `keep`.
    void undo(std::size_t keep = 0);
    void keep() { m_kept = true; }

private:
    std::vector<QByteArray> m_paths;
    bool m_kept = false;
};

// Opens the folder `name` inside the folder `at`, making it (mode 0700) when missing. A symbolic
// link is not followed, and with `privateToUser` a folder that is not wholly the user's is refused.
Fd openFolder(int at, const char* name, const QByteArray& path, bool privateToUser,
              MadeFolders& made, QString& reason);

// An open trash: its folder, files/ and info/, kept for the life of the trash object.
struct OpenTrash {
    QByteArray path; // the trash folder
    QByteArray top;  // the volume's top, for a top-directory trash; empty for the home trash
    Fd folder;
    Fd files;
    Fd info;
    qsizetype nameMax = NAME_MAX;
    bool checkedByPath = false; // found again at its path since the last flush
};

// The home trash at trashPath, made (with its missing parents) when missing.
std::unique_ptr<OpenTrash> openHomeTrash(const QByteArray& trashPath, MadeFolders& made,
                                         QString& reason);

// The trash at the top of a volume: $top/.Trash/$uid when the administrator made .Trash a real
// folder with the sticky bit and the user's folder there is usable, else $top/.Trash-$uid.
std::unique_ptr<OpenTrash> openTopTrash(const QByteArray& top, MadeFolders& made, QString& reason);

// Whether a kept trash is still the one at its path, whole and (for a top trash) private: fstat on
// the open folders and a look at the paths, once after each flush (checkedByPath cleared).
bool stillUsable(OpenTrash& trash);

// Whether the kept folders are still the ones found at the trash's path, looked up without
// following a link (a link put in a top trash's place does not count as the trash).
bool atItsPath(const OpenTrash& trash);

// Where the kept trash folder is now (it was renamed, or replaced at its path); empty when the
// system cannot say.
QByteArray currentPath(const OpenTrash& trash);

} // namespace TrashFolders

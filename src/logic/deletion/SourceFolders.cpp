#include "deletion/SourceFolders.h"

#include "deletion/SecondChance.h"
#include "deletion/TrashDestination.h"

#include <fcntl.h>

const SourceFolders::Known& SourceFolders::known(const QByteArray& folder, bool keepOpen) {
    if (m_lastKnown != nullptr && folder == m_lastFolder && (m_lastKnown->fd >= 0 || !keepOpen))
        return *m_lastKnown;
    auto [found, made] = m_folders.try_emplace(folder);
    Known& entry = found->second;
    if (!made) {
        entry.used = true; // asked for again: it keeps its descriptor a round longer
    } else {
        entry.look = TrashDestination::lookAtFolder(folder, keepOpen ? &entry.fd : nullptr);
        if (entry.fd >= 0)
            keep(entry);
    }
    m_lastFolder = folder;
    m_lastKnown = &entry;
    return entry;
}

void SourceFolders::keep(Known& folder) {
    if (m_kept.size() < KeptFolders) {
        m_kept.push_back({TrashFolders::Fd(folder.fd), &folder});
        return;
    }
    Kept& slot = secondChanceSlot(m_kept, m_next);
    slot.folder->fd = -1; // its files go by their full paths from now on
    slot.fd = TrashFolders::Fd(folder.fd);
    slot.folder = &folder;
}

int SourceFolders::fd(const QByteArray& folder) {
    const Known& found = known(folder, true);
    if (found.fd >= 0)
        return found.fd;
    if (found.look.device == 0 && found.look.inode == 0) {
        m_lastFolder = QByteArray();
        m_lastKnown = nullptr;
        m_folders.erase(folder);
    }
    return AT_FDCWD;
}

void SourceFolders::clear() {
    m_kept.clear();
    m_next = 0;
    m_folders.clear();
    m_lastFolder = QByteArray();
    m_lastKnown = nullptr;
}

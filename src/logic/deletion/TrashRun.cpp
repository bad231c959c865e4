#include "deletion/TrashRun.h"

#include "deletion/ShellDelete.h"
#include "deletion/Trash.h"

namespace Delete1 {

void TrashRun::run(const QStringList& paths, const Progress& progress) {
    const qsizetype count = paths.size();
    for (qsizetype i = 0; i < count && !m_stop; ++i) {
        if (progress)
            progress(i + 1, count, paths.at(i));
        if (m_stop)
            break;
        trashOne(paths.at(i));
    }
}

void TrashRun::trashOne(const QString& path) {
    m_tally.count(path, ShellDelete(path, true, m_trash), m_record);
    ++m_handled;
    followMovedFolders();
}

void TrashRun::followMovedFolders() {
    for (auto& [said, now] : m_trash.takeMovedFolders()) {
        m_record.relocate(said, now);
        m_movedFolders.emplace_back(std::move(said), std::move(now));
    }
}

void TrashRun::finish() {
    if (m_finished)
        return;
    m_finished = true;
    // The entries first, then the record that names them.
    m_trash.flush();
    followMovedFolders();
    m_recordError = m_record.save();
}

QString TrashRun::closingMessage() const {
    QString text = Delete1::closingMessage(m_tally.leftInPlace, m_tally.gone);
    // A trash folder renamed or replaced during the run: the files are where it went.
    for (const auto& [said, now] : m_movedFolders)
        text += now.isEmpty()
                    ? QStringLiteral("\n\nThe trash folder %1 was moved or replaced during the "
                                     "run; the files moved into it are no longer there.")
                          .arg(said)
                    : QStringLiteral("\n\nThe trash folder %1 was moved to %2 during the run; "
                                     "the files moved into it are there.")
                          .arg(said, now);
    return text;
}

} // namespace Delete1

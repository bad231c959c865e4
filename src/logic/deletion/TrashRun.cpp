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
}

void TrashRun::finish() {
    if (m_finished)
        return;
    m_finished = true;
    // The entries first, then the record that names them.
    m_trash.flush();
    m_recordError = m_record.save();
}

QString TrashRun::closingMessage() const {
    return Delete1::closingMessage(m_tally.leftInPlace, m_tally.gone);
}

} // namespace Delete1

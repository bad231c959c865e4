#include "deletion/TrashRun.h"

#include "deletion/ShellDelete.h"
#include "deletion/Trash.h"

#include <exception>

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

TrashRun::TrashRun(Trash& trash, const QString& origin) : m_trash(trash) {
    m_record.setOrigin(origin);
    m_trash.setWitness(&m_record);
}

TrashRun::~TrashRun() {
    try {
        finish();
    } catch (...) { // NOLINT(bugprone-empty-catch): a run cut short reports nothing more
    }
    m_trash.setWitness(nullptr);
}

QString TrashRun::prepare() {
    return m_record.reserve();
}

void TrashRun::trashOne(const QString& path) {
    if (!m_record.roomFor(path)) {
        // A file whose move could not be recorded is not moved.
        m_tally.leftInPlace.append(path + QStringLiteral(" (the run's record cannot grow: ") +
                                   m_record.error() + QLatin1Char(')'));
        ++m_handled;
        return;
    }
    const ShellDeleteResult result = ShellDelete(path, true, m_trash);
    // A trash that told the move ahead has it in the record already; a move told that did not
    // happen is taken back.
    if (!result.moved)
        m_record.notMoved();
    m_tally.count(path, result, m_record.takeTold() ? nullptr : &m_record);
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
    // The entries made durable first, then the record that names them written; the run counts as
    // finished only then. A flush that fails still leaves the record written, and is reported.
    std::exception_ptr flushFailure;
    try {
        m_trash.flush();
    } catch (...) {
        flushFailure = std::current_exception();
    }
    followMovedFolders();
    m_recordError = m_record.save();
    m_finished = true;
    if (flushFailure)
        std::rethrow_exception(flushFailure);
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

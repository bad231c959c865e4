#pragma once

#include "deletion/RunChoice.h"

#include <QDialog>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

// "Put Back a Run…": the recorded runs, newest first, each with how many of its files are still in
// the trash or, for a run that cannot go back, why; and a button that puts back the run selected.
// The questions and messages of putting back are the window's own (its dialogs), not this list's.
class RunsDialog : public QDialog {
    Q_OBJECT
public:
    // putBack is called with the selected run's id; the list is read again afterwards.
    using PutBack = std::function<void(const QString& id)>;
    explicit RunsDialog(PutBack putBack, QWidget* parent = nullptr);

    // Reads the recorded runs again; the selected run stays selected while it is listed.
    void refresh();
    const std::vector<RunChoice>& runs() const { return m_runs; }

private:
    void selectionChanged();
    void putBackSelected();
    // The selected run, or null.
    const RunChoice* selected() const;

    PutBack m_putBack;
    std::vector<RunChoice> m_runs;
    QLabel* m_note;
    QTreeWidget* m_list;
    QPushButton* m_putBackButton;
};

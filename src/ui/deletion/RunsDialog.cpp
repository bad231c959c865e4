#include "deletion/RunsDialog.h"

#include "deletion/RunRecord.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int IdRole = Qt::UserRole;

} // namespace

RunsDialog::RunsDialog(PutBack putBack, QWidget* parent)
    : QDialog(parent), m_putBack(std::move(putBack)), m_note(new QLabel(this)),
      m_list(new QTreeWidget(this)), m_putBackButton(new QPushButton(QStringLiteral("Put Back"))) {
    setWindowTitle(QStringLiteral("Put Back a Run"));
    m_note->setWordWrap(true);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Run"), QStringLiteral("In the trash")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setAccessibleName(QStringLiteral("Recorded runs"));
    m_list->setAccessibleDescription(
        QStringLiteral("The recorded runs, newest first, with how many of their files are still in "
                       "the trash."));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_putBackButton, QDialogButtonBox::ActionRole);
    m_putBackButton->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(760, 320);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_putBackButton, &QPushButton::clicked, this, &RunsDialog::putBackSelected);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &RunsDialog::selectionChanged);
    connect(m_list, &QTreeWidget::itemActivated, this, &RunsDialog::putBackSelected);
    refresh();
}

void RunsDialog::refresh() {
    const RunChoice* before = selected();
    const QString keep = before != nullptr ? before->id : QString();
    m_runs = RunChoices::all();
    m_list->clear();
    QTreeWidgetItem* select = nullptr;
    for (const RunChoice& run : m_runs) {
        auto* item = new QTreeWidgetItem(m_list, {run.sentenceTitle(), run.state()});
        item->setData(0, IdRole, run.id);
        item->setToolTip(1, run.state());
        if (run.id == keep || (select == nullptr && keep.isEmpty() && run.canPutBack()))
            select = item;
    }
    m_list->resizeColumnToContents(0);
    if (select == nullptr && m_list->topLevelItemCount() > 0)
        select = m_list->topLevelItem(0);
    if (select != nullptr)
        m_list->setCurrentItem(select);
    if (const QString fault = RunRecord::runsFolderFault(); !fault.isEmpty())
        m_note->setText(QStringLiteral("The runs folder cannot be trusted: ") + fault +
                        QLatin1Char('.'));
    else if (m_runs.empty())
        m_note->setText(QStringLiteral("No run is recorded, so there is nothing to put back."));
    else
        m_note->setText(QStringLiteral("Newest first. Choose a run and press Put Back: its files "
                                       "still in the trash go back where they were."));
    selectionChanged();
}

const RunChoice* RunsDialog::selected() const {
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    if (items.isEmpty())
        return nullptr;
    const QString id = items.first()->data(0, IdRole).toString();
    for (const RunChoice& run : m_runs)
        if (run.id == id)
            return &run;
    return nullptr;
}

void RunsDialog::selectionChanged() {
    const RunChoice* run = selected();
    const bool can = run != nullptr && run->canPutBack();
    m_putBackButton->setEnabled(can);
    const QString tip = run == nullptr ? QStringLiteral("Choose a run first.")
                        : can          ? QStringLiteral("Puts back %1.").arg(run->title)
                                       : run->whyNot();
    m_putBackButton->setToolTip(tip);
    m_putBackButton->setStatusTip(tip);
}

void RunsDialog::putBackSelected() {
    const RunChoice* run = selected();
    if (run == nullptr || !run->canPutBack())
        return;
    const QString id = run->id;
    // Putting back lets the window paint meanwhile; nothing here is chosen twice.
    const QPointer<RunsDialog> self(this);
    setEnabled(false);
    m_putBack(id);
    if (self == nullptr)
        return;
    setEnabled(true);
    refresh();
}

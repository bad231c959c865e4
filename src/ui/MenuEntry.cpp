#include "MenuEntry.h"

#include <QAction>
#include <QMenu>

QAction* addEntryFor(QMenu& menu, QAction* action) {
    auto* entry = new QAction(action->icon(), action->text(), &menu);
    entry->setShortcuts(action->shortcuts());
    entry->setToolTip(action->toolTip());
    entry->setStatusTip(action->statusTip());
    entry->setEnabled(action->isEnabled());
    entry->setVisible(action->isVisible());
    QObject::connect(entry, &QAction::triggered, action, [action] { action->trigger(); });
    menu.addAction(entry);
    return entry;
}

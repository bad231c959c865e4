#pragma once

class QAction;
class QMenu;

// Adds to a short-lived menu an entry of its own that stands for a lasting action: same text,
// shortcut, tooltip, status tip and state, and choosing it triggers the action. Qt gives an action
// one accessible object, owned by the first menu that asks for it; a lasting action added to menu
// after menu is missing from what assistive technology reads in every later one.
QAction* addEntryFor(QMenu& menu, QAction* action);

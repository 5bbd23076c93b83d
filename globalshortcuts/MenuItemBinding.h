#pragma once

#include "globalshortcuts/Name.h"
#include "globalshortcuts/Shortcut.h"

#include <QKeySequence>
#include <optional>

class QAction;

namespace globalshortcuts {

class Registry;

// An action's shortcut bound to a name follows every change of the name's stored shortcut; unbinding gives back
// the action's own shortcut from before the first binding. Nothing is kept apart from the action: the name, the
// action's own shortcut and the change observer are associated with it and go with it.
void bindMenuItem(QAction* action, const std::optional<Name>& name, Registry& registry);
void bindMenuItem(QAction* action, const std::optional<Name>& name);
// A fixed shortcut without a name (none: no shortcut); forgets any binding and the action's own shortcut.
void assignMenuItemShortcut(QAction* action, const std::optional<Shortcut>& shortcut, Registry& registry);
void assignMenuItemShortcut(QAction* action, const std::optional<Shortcut>& shortcut);

// The name an action is bound to, if any.
std::optional<Name> boundName(const QAction* action);

} // namespace globalshortcuts

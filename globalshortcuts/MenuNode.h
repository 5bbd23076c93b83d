#pragma once

#include "globalshortcuts/Modifiers.h"

#include <QList>
#include <QString>
#include <optional>

namespace globalshortcuts {

// A plain menu tree for the conflict check of recorded shortcuts: an item's key equivalent as a menu shows it
// (text in the layout's case, an upper-case letter standing for Shift) and its modifier mask.
struct MenuNode {
    QString title;
    QString keyEquivalent;
    ModifierFlags keyEquivalentModifierMask = 0;
    QList<MenuNode> submenu;
    // The name the item is bound to (bindMenuItem): a recorder editing that name does not count it as a clash.
    std::optional<QString> boundName;
};

} // namespace globalshortcuts

#include "globalshortcuts/MenuItemBinding.h"

#include "globalshortcuts/ObjectAssociation.h"
#include "globalshortcuts/Registry.h"

#include <QAction>
#include <QPointer>

namespace globalshortcuts {

namespace {

struct Observer {
    QMetaObject::Connection connection;
};

const ObjectAssociation<Name> nameAssociation("_globalshortcuts_name");
const ObjectAssociation<QKeySequence> fallbackAssociation("_globalshortcuts_fallback");
const ObjectAssociation<Observer> observerAssociation("_globalshortcuts_observer");

void applyShortcut(QAction* action, const Shortcut& shortcut, const Registry& registry) {
    action->setShortcut(shortcut.keySequence(registry.keyboardLayout()).value_or(QKeySequence()));
}

void applyFallback(QAction* action) {
    action->setShortcut(fallbackAssociation.get(action).value_or(QKeySequence()));
}

void stopObserving(QAction* action) {
    if (const auto observer = observerAssociation.get(action)) {
        QObject::disconnect(observer->connection);
        observerAssociation.set(action, std::nullopt);
    }
}

void applyStored(QAction* action, const Name& name, const Registry& registry) {
    if (const auto shortcut = registry.getShortcut(name))
        applyShortcut(action, *shortcut, registry);
    else
        applyFallback(action);
}

} // namespace

void bindMenuItem(QAction* action, const std::optional<Name>& name, Registry& registry) {
    if (!action)
        return;
    if (!name) {
        // An action that was never bound keeps its own shortcut.
        if (!nameAssociation.get(action) && !fallbackAssociation.get(action))
            return;
        applyFallback(action);
        nameAssociation.set(action, std::nullopt);
        fallbackAssociation.set(action, std::nullopt);
        stopObserving(action);
        return;
    }
    if (observerAssociation.get(action))
        stopObserving(action);
    else
        fallbackAssociation.set(action, action->shortcut());
    applyStored(action, *name, registry);
    nameAssociation.set(action, *name);
    QPointer<Registry> source(&registry);
    // The action is the connection's context: the observer goes with the action.
    const auto connection = QObject::connect(&registry, &Registry::shortcutByNameDidChange, action,
                                             [action, bound = *name, source](const Name& changed) {
                                                 if (changed.rawValue() != bound.rawValue() || !source)
                                                     return;
                                                 applyStored(action, bound, *source);
                                             });
    observerAssociation.set(action, Observer{connection});
}

void bindMenuItem(QAction* action, const std::optional<Name>& name) {
    bindMenuItem(action, name, Registry::instance());
}

void assignMenuItemShortcut(QAction* action, const std::optional<Shortcut>& shortcut, Registry& registry) {
    if (!action)
        return;
    stopObserving(action);
    nameAssociation.set(action, std::nullopt);
    fallbackAssociation.set(action, std::nullopt);
    if (shortcut)
        applyShortcut(action, *shortcut, registry);
    else
        action->setShortcut(QKeySequence());
}

void assignMenuItemShortcut(QAction* action, const std::optional<Shortcut>& shortcut) {
    assignMenuItemShortcut(action, shortcut, Registry::instance());
}

std::optional<Name> boundName(const QAction* action) {
    return action ? nameAssociation.get(action) : std::nullopt;
}

} // namespace globalshortcuts

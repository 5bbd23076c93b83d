#pragma once

// The library's process-wide functions: each one uses the process's registry (Registry::instance()). The
// application installs its services there at start-up (preferences, the X11 back end) before it makes names.

#include "globalshortcuts/Registry.h"

namespace globalshortcuts {

// The application's one name: "openMainWindow", initially Option-Command-P (Alt+Super+P), made on first use.
const Name& openMainWindow();

inline void onKeyDown(const Name& name, Registry::Action action) {
    Registry::instance().onKeyDown(name, std::move(action));
}
inline void onKeyUp(const Name& name, Registry::Action action) {
    Registry::instance().onKeyUp(name, std::move(action));
}
inline void removeHandler(const Name& name) {
    Registry::instance().removeHandler(name);
}
inline void removeAllHandlers() {
    Registry::instance().removeAllHandlers();
}
inline void disable(const QList<Name>& names) {
    Registry::instance().disable(names);
}
inline void enable(const QList<Name>& names) {
    Registry::instance().enable(names);
}
inline bool isEnabled() {
    return Registry::instance().isEnabled();
}
inline void setEnabled(bool enabled) {
    Registry::instance().setEnabled(enabled);
}
inline bool isEnabled(const Name& name) {
    return Registry::instance().isEnabled(name);
}

inline std::optional<Shortcut> getShortcut(const Name& name) {
    return Registry::instance().getShortcut(name);
}
inline void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) {
    Registry::instance().setShortcut(shortcut, name);
}
inline void reset(const QList<Name>& names) {
    Registry::instance().reset(names);
}
inline void resetAll() {
    Registry::instance().resetAll();
}

inline Subscription events(const Name& name, std::function<void(EventType)> callback) {
    return Registry::instance().events(name, std::move(callback));
}
inline Subscription repeatingKeyDownEvents(const Name& name, Registry::Action callback) {
    return Registry::instance().repeatingKeyDownEvents(name, std::move(callback));
}

} // namespace globalshortcuts

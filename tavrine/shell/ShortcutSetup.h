#pragma once

#include "globalshortcuts/Preferences.h"

#include <functional>
#include <memory>

namespace globalshortcuts {
class X11HotKeyBackend;
}

namespace tavrine {
class UserDefaults;
}

namespace tavrine::shell {

// The shortcuts' store is the application's user defaults: the same file, the same type tags, so a cleared
// shortcut (a stored false) stays cleared after a restart.
class DefaultsPreferences final : public globalshortcuts::Preferences {
public:
    explicit DefaultsPreferences(UserDefaults& defaults) : m_defaults(defaults) {}
    std::optional<globalshortcuts::PreferenceValue> value(const QString& key) const override;
    void setValue(const QString& key, const globalshortcuts::PreferenceValue& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;

private:
    UserDefaults& m_defaults;
};

// Puts the application's store and the X11 hot-key back end into the process's shortcut registry, makes the
// "openMainWindow" name and calls `openMainWindow` when its shortcut is released. Without an X display the hot
// key never fires (one log line says so); recording and storing still work.
class ShortcutSetup {
public:
    ShortcutSetup(UserDefaults& defaults, std::function<void()> openMainWindow);
    ~ShortcutSetup();
    ShortcutSetup(const ShortcutSetup&) = delete;
    ShortcutSetup& operator=(const ShortcutSetup&) = delete;

private:
    std::unique_ptr<DefaultsPreferences> m_preferences;
    std::unique_ptr<globalshortcuts::X11HotKeyBackend> m_backend;
};

} // namespace tavrine::shell

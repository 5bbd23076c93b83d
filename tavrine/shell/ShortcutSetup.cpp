#include "tavrine/shell/ShortcutSetup.h"

#include "globalshortcuts/GlobalShortcuts.h"
#include "globalshortcuts/Registry.h"
#include "globalshortcuts/x11/X11HotKeyBackend.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/UserDefaults.h"

#include <QLoggingCategory>

namespace tavrine::shell {

namespace {
Q_LOGGING_CATEGORY(logShortcuts, "com.dravolence.tavrine.Shortcuts")
}

std::optional<globalshortcuts::PreferenceValue> DefaultsPreferences::value(const QString& key) const {
    return m_defaults.value(key);
}

void DefaultsPreferences::setValue(const QString& key, const globalshortcuts::PreferenceValue& value) {
    m_defaults.setValue(key, value);
}

void DefaultsPreferences::remove(const QString& key) {
    m_defaults.remove(key);
}

QStringList DefaultsPreferences::keys() const {
    return m_defaults.keys();
}

ShortcutSetup::ShortcutSetup(UserDefaults& defaults, std::function<void()> openMainWindow)
    : m_preferences(std::make_unique<DefaultsPreferences>(defaults)),
      m_backend(std::make_unique<globalshortcuts::X11HotKeyBackend>()) {
    globalshortcuts::Registry::Services services;
    services.preferences = m_preferences.get();
    if (m_backend->isConnected()) {
        services.backend = m_backend.get();
        services.layout = m_backend.get();
        services.systemHotKeys = m_backend.get();
        services.repeat = m_backend.get();
    } else {
        log::notice(logShortcuts(), QStringLiteral("No X display for global shortcuts: the hot key will not fire"));
    }
    globalshortcuts::Registry::instance().install(services);
    globalshortcuts::onKeyUp(globalshortcuts::openMainWindow(), [open = std::move(openMainWindow)] {
        log::info(logShortcuts(), QStringLiteral("Shortcut openMainWindow released"));
        if (open)
            open();
    });
}

ShortcutSetup::~ShortcutSetup() {
    // The process's registry lives until exit and keeps pointers to its services: our handler goes (it calls
    // into the application), the back end and the store stay for whatever the registry still does at exit.
    globalshortcuts::Registry::instance().removeAllHandlers();
    (void)m_backend.release();
    (void)m_preferences.release();
}

} // namespace tavrine::shell

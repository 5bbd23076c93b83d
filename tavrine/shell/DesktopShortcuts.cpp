#include "tavrine/shell/DesktopShortcuts.h"

#include "globalshortcuts/Registry.h"
#include "globalshortcuts/x11/X11HotKeyBackend.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/UserDefaults.h"

#include <QGuiApplication>

namespace tavrine::shell {

namespace {

// The shortcuts' store in the application's own user defaults ("GlobalShortcuts_openMainWindow").
class DefaultsPreferences final : public globalshortcuts::Preferences {
public:
    explicit DefaultsPreferences(UserDefaults& defaults) : m_defaults(defaults) {}
    std::optional<globalshortcuts::PreferenceValue> value(const QString& key) const override {
        return m_defaults.value(key);
    }
    void setValue(const QString& key, const globalshortcuts::PreferenceValue& value) override {
        m_defaults.setValue(key, value);
    }
    void remove(const QString& key) override { m_defaults.remove(key); }
    QStringList keys() const override { return m_defaults.keys(); }

private:
    UserDefaults& m_defaults;
};

} // namespace

void installDesktopShortcuts(UserDefaults& defaults) {
    static bool installed = false;
    if (installed || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    installed = true;
    // Never destroyed: the registry keeps using them until the process ends.
    static DefaultsPreferences preferences(defaults);
    auto* backend = new globalshortcuts::X11HotKeyBackend;
    if (!backend->isConnected())
        log::error(logFocus(), QStringLiteral("Hot keys unavailable: no X display for key grabs"));
    globalshortcuts::Registry::instance().install({&preferences, backend, backend, backend, backend, nullptr});
}

} // namespace tavrine::shell

#include "tavrine/shell/LaunchSetup.h"

#include "tavrine/core/Log.h"
#include "tavrine/core/UserDefaults.h"
#include "tavrine/platform/LoginItem.h"

namespace tavrine::shell {

LaunchSetup::LaunchSetup(UserDefaults& defaults, platform::LoginItem& loginItem, Hooks hooks)
    : m_defaults(defaults), m_loginItem(loginItem), m_hooks(std::move(hooks)) {}

bool LaunchSetup::run(bool openedAtLogin) {
    if (m_done)
        return false;
    m_done = true;
    if (m_hooks.wire)
        m_hooks.wire();
    const QString key = QString::fromLatin1(defaultAppliedKey);
    if (!m_defaults.problem().isEmpty()) {
        // The mark that the default was applied cannot be read, and a mark written now would not last: applying
        // the default would undo, at every launch, a user who switched launch at login off.
        log::notice(logLoginItem(), QStringLiteral("Launch at login left as it is: the settings cannot be read"));
    } else if (!m_defaults.boolValue(key).value_or(false)) {
        // Written first: a registration that fails is not tried again at the next launch, and a later choice
        // in the settings is never overridden.
        m_defaults.setBool(key, true);
        platform::setLaunchAtLogin(m_loginItem, true);
    }
    const bool atLogin = openedAtLogin || (m_hooks.wasLaunchedAsLoginItem && m_hooks.wasLaunchedAsLoginItem());
    const bool showOnboarding = m_hooks.shouldShowOnboarding && m_hooks.shouldShowOnboarding();
    if (atLogin && !showOnboarding)
        return true;
    if (m_hooks.activate)
        m_hooks.activate();
    if (!showOnboarding && m_hooks.openFocusWindow)
        m_hooks.openFocusWindow();
    return true;
}

} // namespace tavrine::shell

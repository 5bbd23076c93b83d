#pragma once

#include <functional>

namespace tavrine {
class UserDefaults;
}
namespace tavrine::platform {
class LoginItem;
}

namespace tavrine::shell {

// The one-time work of a launch: wires the session to the screen, switches launch at login on the first time
// ever (never while the settings that remember it cannot be read), and decides what comes to the front. Runs once
// per process however often it is asked.
class LaunchSetup {
public:
    static constexpr const char* defaultAppliedKey = "launchAtLoginDefaultApplied";

    struct Hooks {
        // Connects the session's nudge and finish callbacks.
        std::function<void()> wire;
        // This process was started by the user logging in (asked only when `openedAtLogin` is false).
        std::function<bool()> wasLaunchedAsLoginItem;
        // The first-run window shows at this launch.
        std::function<bool()> shouldShowOnboarding;
        // Brings the application to the front.
        std::function<void()> activate;
        // Opens the main window.
        std::function<void()> openFocusWindow;
    };

    LaunchSetup(UserDefaults& defaults, platform::LoginItem& loginItem, Hooks hooks);

    // True when it ran now, false when it had run already.
    bool run(bool openedAtLogin);
    bool done() const { return m_done; }

private:
    UserDefaults& m_defaults;
    platform::LoginItem& m_loginItem;
    Hooks m_hooks;
    bool m_done = false;
};

} // namespace tavrine::shell

#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWindow;

namespace tavrine::ui {

// Bringing one of the application's ordinary windows (History, Settings) to the front from the main window.
struct WindowRaisingHooks {
    // The windows to search, in order; QGuiApplication::topLevelWindows() when empty.
    std::function<QList<QWindow*>()> windows;
    // Shows the match normal (out of its minimised state), raises and activates it; Qt's own requests when empty
    // (the shell hands in the desktop's activation, which window managers honour where they refuse Qt's).
    std::function<void(QWindow*)> raise;
    // Queues work behind what the event loop already holds; a zero-time single shot when empty.
    std::function<void(std::function<void()>)> post;
};

// The first window whose objectName is the lowercased title or, failing that, whose title is exactly `title`.
QWindow* findWindowByTitle(const QList<QWindow*>& windows, const QString& title);

// Searches for the window now and, while none matches, again on later turns of the event loop, `retries` more
// times at most; a window that never appears is given up silently.
void raiseWindow(const QString& title, int retries, const WindowRaisingHooks& hooks = {});

struct ShowOrOpenHooks {
    // Makes sure the main-window opener (and its hot key) exists.
    std::function<void()> ensureOpener;
    // Hides the main window when it is visible; never opens it.
    std::function<void()> closeFocusWindow;
    // Makes Tavrine the active application.
    std::function<void()> activateApplication;
    WindowRaisingHooks raising;
};

// Hides the main window at once, then, on the next turn of the event loop, opens the window through `open`,
// activates the application and raises the window titled `title` as soon as it exists (9 searches at most).
void showOrOpenWindow(const QString& title, const std::function<void()>& open, const ShowOrOpenHooks& hooks);

// The settings form's and the onboarding pages' buttons: bordered on every system, drawn as AdaptiveButton.
enum class AdaptiveButtonStyle { Bordered, BorderedProminent };
constexpr AdaptiveButtonStyle adaptiveButtonStyle(bool prominent) {
    return prominent ? AdaptiveButtonStyle::BorderedProminent : AdaptiveButtonStyle::Bordered;
}

} // namespace tavrine::ui

#include "tavrine/ui/WindowRaising.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace tavrine::ui {

namespace {

void post(const WindowRaisingHooks& hooks, std::function<void()> work) {
    if (hooks.post)
        hooks.post(std::move(work));
    else
        QTimer::singleShot(0, qApp, std::move(work));
}

void raiseNow(const WindowRaisingHooks& hooks, QWindow* window) {
    if (hooks.raise) {
        hooks.raise(window);
        return;
    }
    window->showNormal();
    window->raise();
    window->requestActivate();
}

} // namespace

QWindow* findWindowByTitle(const QList<QWindow*>& windows, const QString& title) {
    const QString identifier = title.toLower();
    for (QWindow* window : windows) {
        if (!window)
            continue;
        if ((!window->objectName().isEmpty() && window->objectName() == identifier) || window->title() == title)
            return window;
    }
    return nullptr;
}

void raiseWindow(const QString& title, int retries, const WindowRaisingHooks& hooks) {
    const QList<QWindow*> windows = hooks.windows ? hooks.windows() : QGuiApplication::topLevelWindows();
    if (QWindow* match = findWindowByTitle(windows, title)) {
        raiseNow(hooks, match);
        return;
    }
    if (retries > 0)
        post(hooks, [title, retries, hooks] { raiseWindow(title, retries - 1, hooks); });
}

void showOrOpenWindow(const QString& title, const std::function<void()>& open, const ShowOrOpenHooks& hooks) {
    if (hooks.ensureOpener)
        hooks.ensureOpener();
    if (hooks.closeFocusWindow)
        hooks.closeFocusWindow();
    post(hooks.raising, [title, open, hooks] {
        if (open)
            open();
        if (hooks.activateApplication)
            hooks.activateApplication();
        raiseWindow(title, 8, hooks.raising);
    });
}

} // namespace tavrine::ui

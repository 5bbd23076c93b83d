#include "tavrine/shell/FocusWindowOpener.h"

#include "tavrine/shell/WindowSet.h"

namespace tavrine::shell {

FocusWindowOpener::FocusWindowOpener(WindowSet& windows, QObject* parent) : QObject(parent), m_windows(windows) {}

QQuickWindow* FocusWindowOpener::focusWindow() {
    return m_windows.window(QStringLiteral("focus"));
}

void FocusWindowOpener::open() {
    m_windows.openWindow(QStringLiteral("focus"));
    emit opened();
}

void FocusWindowOpener::closeFocusWindow() {
    if (QQuickWindow* window = m_windows.existingWindow(QStringLiteral("focus")))
        window->hide();
}

} // namespace tavrine::shell

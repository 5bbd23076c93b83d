#include "tavrine/nudge/NudgeDesktop.h"

#include "tavrine/platform/x11/X11Connection.h"

#include <QGuiApplication>
#include <QWindow>

namespace tavrine::nudge {

namespace {

platform::X11Connection* x11() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* connection = platform::X11Connection::shared();
    return connection && connection->isOpen() ? connection : nullptr;
}

} // namespace

void showOnAllDesktops(QWindow& window) {
    // Set as a property for the window manager to read when it maps the window, and asked for as a client
    // message once it is mapped.
    if (auto* connection = x11())
        connection->setOnAllDesktops(platform::XWindowId(window.winId()));
}

} // namespace tavrine::nudge

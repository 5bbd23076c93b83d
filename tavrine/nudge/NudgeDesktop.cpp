#include "tavrine/nudge/NudgeDesktop.h"

#include "tavrine/platform/x11/X11Connection.h"

#include <QGuiApplication>
#include <QWindow>
#include <X11/Xlib.h>
#include <X11/Xatom.h>

namespace tavrine::nudge {

namespace {

platform::X11Connection* x11() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* connection = platform::X11Connection::shared();
    return connection && connection->isOpen() ? connection : nullptr;
}

} // namespace

bool compositorRunning() {
    auto* connection = x11();
    return connection && connection->compositorRunning();
}

void showOnAllDesktops(QWindow& window) {
    auto* connection = x11();
    if (!connection)
        return;
    const auto id = Window(window.winId());
    const Atom desktop = connection->atom("_NET_WM_DESKTOP");
    const auto root = Window(connection->root());
    connection->withDisplay([&](Display* display) {
        // Unmapped: the window manager reads the property when it maps the window.
        const long all = 0xFFFFFFFF;
        XChangeProperty(display, id, desktop, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&all), 1);
        // Mapped: the window manager takes requests only as client messages.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = id;
        event.xclient.message_type = desktop;
        event.xclient.format = 32;
        event.xclient.data.l[0] = all;
        event.xclient.data.l[1] = 2;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(display);
    });
}

} // namespace tavrine::nudge

#include "tavrine/nudge/NudgeDesktop.h"

#include "tavrine/ui/QtX11.h"

#include <QWindow>

#include <xcb/xcb.h>

namespace tavrine::nudge {

void showOnAllDesktops(QWindow& window) {
    xcb_connection_t* connection = ui::qtx11::connection();
    if (!connection)
        return;
    static const xcb_atom_t desktop = ui::qtx11::atom("_NET_WM_DESKTOP");
    if (desktop == XCB_ATOM_NONE)
        return;
    const auto id = xcb_window_t(window.winId());
    constexpr quint32 allDesktops = 0xFFFFFFFF;
    // The property for the window manager to read when it maps the window, and the request for one it manages.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    ui::qtx11::sendToWindowManager(id, desktop, {allDesktops, 2 /* a pager-like request */});
}

} // namespace tavrine::nudge

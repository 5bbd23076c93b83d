#include "tavrine/nudge/NudgeDesktop.h"

#include "tavrine/ui/QtX11.h"

#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace tavrine::nudge {

void showOnAllDesktops(QWindow& window) {
    xcb_connection_t* connection = ui::qtx11::connection();
    if (!connection)
        return;
    static const xcb_atom_t desktop = [connection] {
        static constexpr char name[] = "_NET_WM_DESKTOP";
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return atom;
    }();
    if (desktop == XCB_ATOM_NONE)
        return;
    const auto id = xcb_window_t(window.winId());
    constexpr quint32 allDesktops = 0xFFFFFFFF;
    // The property for the window manager to read when it maps the window, and the request for one it manages.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = desktop;
    event.data.data32[0] = allDesktops;
    event.data.data32[1] = 2; // a pager-like request
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

} // namespace tavrine::nudge

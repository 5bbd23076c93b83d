#include "tavrine/ui/QtX11.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

// Xlib's macros (None, Bool, Status) clash with Qt's headers: it comes last.
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

namespace tavrine::ui::qtx11 {

namespace {

QNativeInterface::QX11Application* x11() {
    return qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
}

Display* qtDisplay() {
    QNativeInterface::QX11Application* native = x11();
    return native ? native->display() : nullptr;
}

} // namespace

xcb_connection_t* connection() {
    QNativeInterface::QX11Application* native = x11();
    return native ? native->connection() : nullptr;
}

quint32 atom(const char* name) {
    xcb_connection_t* x = connection();
    if (!x)
        return XCB_ATOM_NONE;
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, quint16(qstrlen(name)), name), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return found;
}

void sendToWindowManager(quint32 window, quint32 type, std::initializer_list<quint32> data) {
    xcb_connection_t* x = connection();
    if (!x)
        return;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy_n(data.begin(), std::min<size_t>(data.size(), 5), event.data.data32);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    xcb_send_event(x, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x);
}

int shapeEventBase() {
    static const int base = [] {
        int event = -1;
        int error = 0;
        Display* display = qtDisplay();
        return display && XShapeQueryExtension(display, &event, &error) ? event : -1;
    }();
    return base;
}

void selectShapeEvents(quint32 window) {
    if (Display* display = qtDisplay()) {
        XShapeSelectInput(display, Window(window), ShapeNotifyMask);
        XFlush(display);
    }
}

void setShapeEmpty(quint32 window, Shape shape, bool empty) {
    // Xlib over Qt's connection (the same xcb connection underneath): requests stay in order with Qt's.
    Display* display = qtDisplay();
    if (!display)
        return;
    const int kind = shape == Shape::Bounding ? ShapeBounding : ShapeInput;
    if (empty)
        XShapeCombineRectangles(display, Window(window), kind, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    else
        XShapeCombineMask(display, Window(window), kind, 0, 0, 0, ShapeSet);
    XFlush(display);
}

} // namespace tavrine::ui::qtx11

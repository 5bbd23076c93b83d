#include "tavrine/ui/ScreenCurtain.h"

#include "tavrine/ui/QtX11.h"

#include <xcb/xcb.h>

namespace tavrine::ui {

std::unique_ptr<ScreenCurtain> ScreenCurtain::raise(const QRect& area) {
    xcb_connection_t* connection = qtx11::connection();
    if (!connection || area.isEmpty())
        return nullptr;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    // What the screen shows there now, windows included, copied within the server.
    const xcb_pixmap_t picture = xcb_generate_id(connection);
    xcb_create_pixmap(connection, screen->root_depth, picture, screen->root, quint16(area.width()),
                      quint16(area.height()));
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    const quint32 includeInferiors = XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS;
    xcb_create_gc(connection, gc, picture, XCB_GC_SUBWINDOW_MODE, &includeInferiors);
    xcb_copy_area(connection, screen->root, picture, gc, qint16(area.x()), qint16(area.y()), 0, 0,
                  quint16(area.width()), quint16(area.height()));
    xcb_free_gc(connection, gc);
    // A window the window manager leaves alone, showing that picture as its background from the moment it maps.
    const xcb_window_t window = xcb_generate_id(connection);
    const quint32 values[] = {picture, 1};
    xcb_create_window(connection, screen->root_depth, window, screen->root, qint16(area.x()), qint16(area.y()),
                      quint16(area.width()), quint16(area.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_free_pixmap(connection, picture);
    qtx11::setShapeEmpty(window, qtx11::Shape::Input, true);
    xcb_map_window(connection, window);
    xcb_flush(connection);
    return std::unique_ptr<ScreenCurtain>(new ScreenCurtain(window, area));
}

ScreenCurtain::~ScreenCurtain() {
    if (xcb_connection_t* connection = qtx11::connection()) {
        xcb_destroy_window(connection, m_window);
        xcb_flush(connection);
    }
}

} // namespace tavrine::ui

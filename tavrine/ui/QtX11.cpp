#include "tavrine/ui/QtX11.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

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

#pragma once

#include <QtGlobal>

struct xcb_connection_t;

namespace tavrine::ui::qtx11 {

// Qt's own X connection, so that what is asked of the server is ordered with what Qt asks of it (a window's
// attributes before Qt maps it); null off X11.
xcb_connection_t* connection();

// Which of a window's shapes: where it is drawn, or where it takes the pointer.
enum class Shape { Bounding, Input };

// The SHAPE extension's first event code, or -1 without the extension.
int shapeEventBase();
// Asks for ShapeNotify events of `window` on Qt's connection (native events for a native event filter).
void selectShapeEvents(quint32 window);

// Makes `shape` of `window` empty (nothing drawn, or every click passes through), or its whole rectangle again.
void setShapeEmpty(quint32 window, Shape shape, bool empty);

} // namespace tavrine::ui::qtx11

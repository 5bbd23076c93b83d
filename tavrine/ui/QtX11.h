#pragma once

#include <QtGlobal>

#include <initializer_list>

struct xcb_connection_t;

namespace tavrine::ui::qtx11 {

// Qt's own X connection, so that what is asked of the server is ordered with what Qt asks of it (a window's
// attributes before Qt maps it); null off X11.
xcb_connection_t* connection();

// The atom named `name` on Qt's connection; 0 (None) off X11.
quint32 atom(const char* name);
// Sends the window manager a client message about `window` (of `type`, with up to five numbers of `data`) on the root
// window, as a pager does, and flushes the connection.
void sendToWindowManager(quint32 window, quint32 type, std::initializer_list<quint32> data);

// Which of a window's shapes: where it is drawn, or where it takes the pointer.
enum class Shape { Bounding, Input };

// The SHAPE extension's first event code, or -1 without the extension.
int shapeEventBase();
// Asks for ShapeNotify events of `window` on Qt's connection (native events for a native event filter).
void selectShapeEvents(quint32 window);

// Makes `shape` of `window` empty (nothing drawn, or every click passes through), or its whole rectangle again.
void setShapeEmpty(quint32 window, Shape shape, bool empty);

} // namespace tavrine::ui::qtx11

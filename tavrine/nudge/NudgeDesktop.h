#pragma once

class QWindow;

namespace tavrine::nudge {

// Puts a panel on every desktop (_NET_WM_DESKTOP 0xFFFFFFFF), before and after it is mapped, over Qt's own X
// connection: the property then reaches the server before Qt's request to map the window. Does nothing without
// X11.
void showOnAllDesktops(QWindow& window);

} // namespace tavrine::nudge

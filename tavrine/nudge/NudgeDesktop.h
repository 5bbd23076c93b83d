#pragma once

class QWindow;

namespace tavrine::nudge {

// Puts a panel on every desktop (_NET_WM_DESKTOP 0xFFFFFFFF), before and after it is mapped. Does nothing
// without X11.
void showOnAllDesktops(QWindow& window);

} // namespace tavrine::nudge

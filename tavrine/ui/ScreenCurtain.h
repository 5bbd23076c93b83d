#pragma once

#include <QRect>

#include <memory>

namespace tavrine::ui {

// A still picture of part of the screen, held above every window: what is under it may change, and is drawn at
// whatever pace, without anything of that showing until the curtain goes. The pointer passes through it. X11 only;
// the picture comes from the root window, which is what the screen shows without a compositor and with one that
// draws on the root (xcompmgr).
class ScreenCurtain final {
public:
    // Covers `area` (in the X server's pixels) as it looks at this moment; null off X11.
    static std::unique_ptr<ScreenCurtain> raise(const QRect& area);
    // The screen under it shows again.
    ~ScreenCurtain();

    QRect area() const { return m_area; }

private:
    ScreenCurtain(quint32 window, const QRect& area) : m_window(window), m_area(area) {}

    quint32 m_window;
    QRect m_area;
};

} // namespace tavrine::ui

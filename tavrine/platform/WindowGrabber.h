#pragma once

#include "tavrine/platform/x11/X11Connection.h"

#include <QImage>

#include <optional>

namespace tavrine::platform {

// A window's image and how much of it other windows hid.
struct WindowImage {
    QImage image;
    // The part of the window's area that windows stacked above it covered, 0 to 1. Those parts of `image` are
    // blanked: another window's pixels (a chat pop-up, Tavrine's own panels) never pass for this one's.
    double coveredShare = 0.0;
};

// Takes a still image of one window's client area as it shows on screen, at the screen's own pixels.
class WindowGrabber {
public:
    virtual ~WindowGrabber() = default;
    // None when the window is gone, not showing, or the server refused the image.
    virtual std::optional<WindowImage> grab(XWindowId window) = 0;
};

} // namespace tavrine::platform

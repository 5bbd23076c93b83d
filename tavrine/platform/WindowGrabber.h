#pragma once

#include "tavrine/platform/x11/X11Connection.h"

#include <QImage>

#include <optional>

namespace tavrine::platform {

// Takes a still image of one window's client area as it shows on screen, at the screen's own pixels.
class WindowGrabber {
public:
    virtual ~WindowGrabber() = default;
    // None when the window is gone, not showing, or the server refused the image.
    virtual std::optional<QImage> grab(XWindowId window) = 0;
};

} // namespace tavrine::platform

#pragma once

#include "tavrine/capture/CropEncoder.h"
#include "tavrine/core/Clock.h"
#include "tavrine/platform/AccessibilityBus.h"
#include "tavrine/platform/Permissions.h"
#include "tavrine/platform/WindowGrabber.h"
#include "tavrine/platform/Workspace.h"

#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace tavrine::capture {

// What the activity observer reads the desktop through. The worker threads of a capture hold the services
// they use for as long as they run, so the observer may go away under them.
struct CaptureServices {
    std::shared_ptr<platform::Workspace> workspace;
    std::shared_ptr<platform::AccessibilityBus> accessibility;
    std::shared_ptr<platform::WindowGrabber> grabber;
    std::shared_ptr<platform::Permissions> permissions;
    // Monotonic seconds, callable from any thread (the walk's deadline).
    std::function<double()> uptime;
    // Waits on a worker thread; a cancellation ends the wait early.
    std::function<void(double seconds, const std::atomic<bool>& cancelled)> sleep;
    // The clock of the main-thread waits (the activation check of bringing a window back).
    Clock* clock = nullptr;
    // Image pixels per point of window frame: the screen's own scale (1 on X11, where a point is a pixel).
    double pixelsPerPoint = 1.0;
    // The application ids of the browsers (the list of known distractions names them): only their captures
    // wait for a page's tree to appear.
    QSet<QString> browsers;
    // Encodes the crops, reusing the last encoding for an unchanged crop.
    std::shared_ptr<CropEncoder> encoder = std::make_shared<CropEncoder>();

    // The services of the Linux desktop: X11, AT-SPI, the system clock.
    static CaptureServices desktop();
};

} // namespace tavrine::capture

#pragma once

#include "tavrine/platform/WindowGrabber.h"

#include <atomic>
#include <memory>

namespace tavrine::platform {

// Grabs from X11: with a compositing manager running, the client rectangle of the window manager frame's
// Composite pixmap (right even when another window covers it); otherwise the root area under the window, with the
// windows stacked above it blanked. Pixels come through shared memory (XShm) where the server allows it, else
// through the socket.
class X11WindowGrabber final : public WindowGrabber {
public:
    // `connection` null: the process's shared connection. `compositorRunning`: the desktop's compositing state as
    // its watcher last saw it (DesktopCompositing::compositorRunningSource); none: the server is asked at each
    // grab.
    explicit X11WindowGrabber(X11Connection* connection = nullptr,
                              std::shared_ptr<const std::atomic<bool>> compositorRunning = {});
    std::optional<WindowImage> grab(XWindowId window) override;

private:
    X11Connection* m_connection;
    std::shared_ptr<const std::atomic<bool>> m_compositorRunning;
};

} // namespace tavrine::platform

#include "tavrine/capture/CaptureServices.h"

#include "tavrine/platform/AtspiAccessibilityBus.h"
#include "tavrine/platform/LinuxPermissions.h"
#include "tavrine/platform/X11WindowGrabber.h"
#include "tavrine/platform/X11Workspace.h"

#include <chrono>
#include <thread>

namespace tavrine::capture {

CaptureServices CaptureServices::desktop() {
    CaptureServices services;
    services.workspace = std::make_shared<platform::X11Workspace>();
    services.accessibility = std::make_shared<platform::AtspiAccessibilityBus>();
    services.grabber = std::make_shared<platform::X11WindowGrabber>();
    services.permissions = std::make_shared<platform::LinuxPermissions>();
    services.uptime = [] { return Clock::system().now(); };
    services.sleep = [](double seconds, const std::atomic<bool>& cancelled) {
        // Short slices, so that a cancellation ends the wait within a few milliseconds.
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!cancelled.load() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    services.clock = &Clock::system();
    services.pixelsPerPoint = 1.0;
    return services;
}

} // namespace tavrine::capture

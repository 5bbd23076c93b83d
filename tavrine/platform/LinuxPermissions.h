#pragma once

#include "tavrine/platform/Permissions.h"

#include <QElapsedTimer>
#include <mutex>

namespace tavrine::platform {

// The grants on an X11 desktop, asked of the session bus's accessibility launcher with short time-outs.
class LinuxPermissions final : public Permissions {
public:
    // The answer is kept for a few seconds: the engine reads the window identity every second, and each answer
    // costs two blocking round trips on the session bus. A grant switched off elsewhere is seen within that time;
    // a request made here, through any instance, is seen at once.
    bool accessibilityGranted() override;
    // True whenever an X display is open: X11 lets any client read the screen.
    bool screenCaptureGranted() override;
    // Sets the desktop's accessibility on and reads the grant afresh.
    bool requestAccessibility() override;

    static constexpr qint64 grantLifetimeMs = 5000;

private:
    bool readAccessibilityGrant();

    // Captures ask from worker threads as well as the main thread.
    std::mutex m_mutex;
    QElapsedTimer m_grantAge;
    // How many requests the process had made when the kept answer was read.
    quint64 m_requestsSeen = 0;
    bool m_grant = false;
};

} // namespace tavrine::platform

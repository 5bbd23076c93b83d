#pragma once

#include "tavrine/platform/Permissions.h"

namespace tavrine::platform {

// The grants on an X11 desktop, asked of the session bus's accessibility launcher with short time-outs (the
// launcher is a local service; these calls are cheap enough for the main thread).
class LinuxPermissions final : public Permissions {
public:
    bool accessibilityGranted() override;
    // True whenever an X display is open: X11 lets any client read the screen.
    bool screenCaptureGranted() override;
    bool requestAccessibility() override;
};

} // namespace tavrine::platform

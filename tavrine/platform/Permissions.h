#pragma once

namespace tavrine::platform {

// The two grants a capture needs. On Linux, accessibility is granted when the accessibility bus answers and
// toolkits are told to expose their trees (org.a11y.Status.IsEnabled); screen capture needs no grant on X11.
class Permissions {
public:
    virtual ~Permissions() = default;
    virtual bool accessibilityGranted() = 0;
    virtual bool screenCaptureGranted() = 0;
    // Turns the desktop's accessibility on (toolkits started afterwards expose their trees); only ever on the
    // user's request. Answers whether the desktop took it.
    virtual bool requestAccessibility() = 0;
};

} // namespace tavrine::platform

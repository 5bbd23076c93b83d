#pragma once

#include "tavrine/platform/Permissions.h"

#include <atomic>

namespace tavrine::test {

// Grants as set; a request grants accessibility.
class FakePermissions final : public platform::Permissions {
public:
    std::atomic<bool> accessibility{true};
    std::atomic<bool> screenCapture{true};
    std::atomic<int> requests{0};

    bool accessibilityGranted() override { return accessibility.load(); }
    bool screenCaptureGranted() override { return screenCapture.load(); }
    bool requestAccessibility() override {
        requests += 1;
        accessibility = true;
        return true;
    }
};

} // namespace tavrine::test

#pragma once

#include "tavrine/platform/WindowGrabber.h"

#include <QHash>

#include <atomic>
#include <functional>
#include <mutex>

namespace tavrine::test {

// Hands out the image set for a window; none for any other. Counts grabs. Thread-safe.
class FakeWindowGrabber final : public platform::WindowGrabber {
public:
    void setImage(platform::XWindowId window, const QImage& image, double coveredShare = 0.0) {
        std::lock_guard lock(m_mutex);
        m_images.insert(window, platform::WindowImage{image, coveredShare});
    }
    // Runs during every grab (on the capture's thread), before the image is handed out.
    void onGrab(std::function<void()> hook) {
        std::lock_guard lock(m_mutex);
        m_hook = std::move(hook);
    }
    int grabs() const { return m_grabs.load(); }

    std::optional<platform::WindowImage> grab(platform::XWindowId window) override {
        std::function<void()> hook;
        {
            std::lock_guard lock(m_mutex);
            hook = m_hook;
        }
        m_grabs += 1;
        if (hook)
            hook();
        std::lock_guard lock(m_mutex);
        if (const auto it = m_images.constFind(window); it != m_images.constEnd())
            return it.value();
        return std::nullopt;
    }

private:
    std::mutex m_mutex;
    QHash<platform::XWindowId, platform::WindowImage> m_images;
    std::function<void()> m_hook;
    std::atomic<int> m_grabs{0};
};

} // namespace tavrine::test

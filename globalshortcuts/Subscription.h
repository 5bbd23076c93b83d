#pragma once

#include <functional>
#include <utility>

namespace globalshortcuts {

// Ends a listening (a stream of hot-key events) when destroyed or reset. Move-only.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> end) : m_end(std::move(end)) {}
    Subscription(Subscription&& other) noexcept : m_end(std::exchange(other.m_end, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            m_end = std::exchange(other.m_end, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (auto end = std::exchange(m_end, nullptr))
            end();
    }
    bool isActive() const { return bool(m_end); }

private:
    std::function<void()> m_end;
};

} // namespace globalshortcuts

#pragma once

#include <coroutine>
#include <memory>

namespace tavrine {

// A one-shot wake-up that a coroutine can await. Firing it resumes the waiter through a queued call on the
// main thread, never inside the caller (which may be a destructor or a cancellation callback).
class Wakeup {
public:
    Wakeup();

    // Wakes the waiter; `cancelled` is what the await then reports. Only the first call counts.
    void fire(bool cancelled = false) const;
    bool isFired() const;

    struct Awaiter {
        std::shared_ptr<struct WakeupState> state;
        bool await_ready() const noexcept;
        void await_suspend(std::coroutine_handle<> handle) noexcept;
        // True when woken normally, false when woken as cancelled.
        bool await_resume() const noexcept;
    };
    Awaiter operator co_await() const { return Awaiter{m_state}; }

private:
    std::shared_ptr<struct WakeupState> m_state;
};

} // namespace tavrine

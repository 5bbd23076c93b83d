#include "tavrine/core/Wakeup.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace tavrine {

struct WakeupState {
    std::coroutine_handle<> handle;
    bool fired = false;
    bool cancelled = false;
    bool resumeScheduled = false;
};

namespace {
void scheduleResume(const std::shared_ptr<WakeupState>& state) {
    if (!state->handle || state->resumeScheduled)
        return;
    state->resumeScheduled = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [state] {
            auto handle = state->handle;
            state->handle = {};
            handle.resume();
        },
        Qt::QueuedConnection);
}
} // namespace

Wakeup::Wakeup() : m_state(std::make_shared<WakeupState>()) {}

void Wakeup::fire(bool cancelled) const {
    if (m_state->fired)
        return;
    m_state->fired = true;
    m_state->cancelled = cancelled;
    scheduleResume(m_state);
}

bool Wakeup::isFired() const {
    return m_state->fired;
}

bool Wakeup::Awaiter::await_ready() const noexcept {
    return false;
}

void Wakeup::Awaiter::await_suspend(std::coroutine_handle<> handle) noexcept {
    state->handle = handle;
    // Fired before anyone waited: still resume through the queue, so the waiter never runs re-entrantly.
    if (state->fired)
        scheduleResume(state);
}

bool Wakeup::Awaiter::await_resume() const noexcept {
    return !state->cancelled;
}

} // namespace tavrine

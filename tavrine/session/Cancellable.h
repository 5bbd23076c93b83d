#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/Wakeup.h"

#include <QCoro/QCoroTask>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>

namespace tavrine {

namespace detail {
template <typename T> struct CancellableState {
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::exception_ptr error;
    Wakeup done;
};

template <typename T>
QCoro::Task<void> driveCancellable(QCoro::Task<T> task, std::shared_ptr<CancellableState<T>> state) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            state->value = true;
        } else {
            state->value.emplace(co_await std::move(task));
        }
    } catch (...) {
        state->error = std::current_exception();
    }
    state->done.fire();
}
} // namespace detail

// Awaits a service's task, but gives up at once with CancelledError when `token` is cancelled. The services
// the session calls (observer, classifier, writers) take no token of their own; without this a session that is
// halted or destroyed would keep a coroutine suspended until the service answers. A result that arrives after
// the cancellation is dropped.
template <typename T> QCoro::Task<T> cancellable(QCoro::Task<T> task, CancellationToken token) {
    token.throwIfCancelled();
    auto state = std::make_shared<detail::CancellableState<T>>();
    detail::driveCancellable(std::move(task), state);
    auto subscription = token.onCancel([done = state->done] { done.fire(true); });
    const bool finished = co_await state->done;
    if (!finished)
        throw CancelledError();
    if (state->error)
        std::rethrow_exception(state->error);
    if constexpr (!std::is_void_v<T>)
        co_return std::move(*state->value);
}

// Lets everything already queued on the main thread run before the caller goes on.
inline QCoro::Task<void> yieldToEventLoop() {
    Wakeup wakeup;
    wakeup.fire();
    co_await wakeup;
}

} // namespace tavrine

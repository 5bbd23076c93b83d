#pragma once

#include <functional>
#include <memory>

namespace tavrine {

class CancellationSubscription;

// A read-only view of a cancellation. Tasks check it after each await; sleeps and other waits subscribe to it
// so that a cancellation wakes them at once instead of when their time runs out.
class CancellationToken {
public:
    // A token that is never cancelled.
    CancellationToken() = default;

    bool isCancelled() const;
    // Throws CancelledError when cancelled.
    void throwIfCancelled() const;
    // Runs `callback` once on cancellation (at once when already cancelled), while the subscription lives.
    [[nodiscard]] CancellationSubscription onCancel(std::function<void()> callback) const;

private:
    friend class CancellationSource;
    struct State;
    explicit CancellationToken(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    std::shared_ptr<State> m_state;
    friend class CancellationSubscription;
};

// Owns a cancellation and hands out tokens for it.
class CancellationSource {
public:
    CancellationSource();
    CancellationToken token() const;
    void cancel();
    bool isCancelled() const;

private:
    std::shared_ptr<CancellationToken::State> m_state;
};

// Keeps a cancellation callback registered; unregisters it when destroyed.
class CancellationSubscription {
public:
    CancellationSubscription() = default;
    CancellationSubscription(CancellationSubscription&& other) noexcept;
    CancellationSubscription& operator=(CancellationSubscription&& other) noexcept;
    CancellationSubscription(const CancellationSubscription&) = delete;
    CancellationSubscription& operator=(const CancellationSubscription&) = delete;
    ~CancellationSubscription();
    void reset();

private:
    friend class CancellationToken;
    CancellationSubscription(std::weak_ptr<CancellationToken::State> state, unsigned long long id) : m_state(std::move(state)), m_id(id) {}
    std::weak_ptr<CancellationToken::State> m_state;
    unsigned long long m_id = 0;
};

} // namespace tavrine

#include "tavrine/core/Cancellation.h"
#include "tavrine/core/Error.h"

#include <map>

namespace tavrine {

struct CancellationToken::State {
    bool cancelled = false;
    unsigned long long nextId = 1;
    std::map<unsigned long long, std::function<void()>> callbacks;
};

bool CancellationToken::isCancelled() const {
    return m_state && m_state->cancelled;
}

void CancellationToken::throwIfCancelled() const {
    if (isCancelled())
        throw CancelledError();
}

CancellationSubscription CancellationToken::onCancel(std::function<void()> callback) const {
    if (!m_state)
        return {};
    if (m_state->cancelled) {
        callback();
        return {};
    }
    const auto id = m_state->nextId++;
    m_state->callbacks.emplace(id, std::move(callback));
    return CancellationSubscription(m_state, id);
}

CancellationSource::CancellationSource() : m_state(std::make_shared<CancellationToken::State>()) {}

CancellationToken CancellationSource::token() const {
    return CancellationToken(m_state);
}

void CancellationSource::cancel() {
    if (m_state->cancelled)
        return;
    m_state->cancelled = true;
    // A callback may drop its own or another subscription: run them from a detached copy.
    auto callbacks = std::move(m_state->callbacks);
    m_state->callbacks.clear();
    for (auto& [id, callback] : callbacks)
        callback();
}

bool CancellationSource::isCancelled() const {
    return m_state->cancelled;
}

CancellationSubscription::CancellationSubscription(CancellationSubscription&& other) noexcept
    : m_state(std::move(other.m_state)), m_id(other.m_id) {
    other.m_id = 0;
}

CancellationSubscription& CancellationSubscription::operator=(CancellationSubscription&& other) noexcept {
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

CancellationSubscription::~CancellationSubscription() {
    reset();
}

void CancellationSubscription::reset() {
    if (auto state = m_state.lock(); state && m_id != 0)
        state->callbacks.erase(m_id);
    m_state.reset();
    m_id = 0;
}

} // namespace tavrine

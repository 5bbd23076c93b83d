#include "tavrine/ui/OpenRetryChain.h"

namespace tavrine::ui {

OpenRetryChain::OpenRetryChain(Schedule schedule, int limit, int delayMs)
    : m_schedule(std::move(schedule)), m_limit(limit), m_delayMs(delayMs) {}

OpenRetryChain::Outcome OpenRetryChain::retryLater(std::function<void()> attempt) {
    if (m_pending)
        return Outcome::Joined;
    if (m_count >= m_limit) {
        m_count = 0;
        return Outcome::GaveUp;
    }
    ++m_count;
    m_pending = true;
    m_schedule(m_delayMs, [this, attempt = std::move(attempt)] {
        m_pending = false;
        attempt();
    });
    return Outcome::Scheduled;
}

} // namespace tavrine::ui

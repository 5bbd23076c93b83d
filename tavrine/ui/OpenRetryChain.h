#pragma once

#include <functional>

namespace tavrine::ui {

// Runs a later attempt of something that waits for the desktop (a tray host placing our icon): one chain of
// retries at a time, `limit` tries `delayMs` apart. The scheduler is injected so that tests run it by hand.
class OpenRetryChain {
public:
    using Schedule = std::function<void(int delayMs, std::function<void()> work)>;
    enum class Outcome { Scheduled, Joined, GaveUp };

    explicit OpenRetryChain(Schedule schedule, int limit = 40, int delayMs = 50);

    // Asks for `attempt` to run again later. A request while a retry is pending joins it; once `limit` retries
    // have run the chain gives up and counts from 0 again.
    Outcome retryLater(std::function<void()> attempt);
    // After a success: the next failure starts a fresh chain.
    void reset() { m_count = 0; }

    int count() const { return m_count; }
    bool pending() const { return m_pending; }

private:
    Schedule m_schedule;
    int m_limit;
    int m_delayMs;
    int m_count = 0;
    bool m_pending = false;
};

} // namespace tavrine::ui

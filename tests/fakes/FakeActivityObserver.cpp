#include "fakes/FakeActivityObserver.h"

#include "tavrine/core/Error.h"

namespace tavrine::test {

struct FakeActivityObserver::State {
    Clock* clock = nullptr;
    std::optional<ActivityEvidence> evidence;
    std::optional<std::optional<ActivityWindowIdentity>> identity;
    double captureSeconds = 0.5;
    bool hold = false;
    bool accessibility = true;
    bool screen = true;
    std::optional<FrontmostPage> page;
    int captures = 0;
    int running = 0;
    int cancels = 0;
    int identityReads = 0;
    QList<ActivityWindowIdentity> returnedTo;
    std::shared_ptr<CancellationSource> cancellation = std::make_shared<CancellationSource>();
    std::vector<Wakeup> held;
};

namespace {
QCoro::Task<std::optional<AccessibilityCaptureDebug>> runCapture(std::shared_ptr<FakeActivityObserver::State> state) {
    auto cancellation = state->cancellation;
    ++state->running;
    struct Running {
        std::shared_ptr<FakeActivityObserver::State> state;
        ~Running() { --state->running; }
    } running{state};
    try {
        co_await state->clock->sleep(state->captureSeconds, cancellation->token());
        if (state->hold) {
            Wakeup release;
            state->held.push_back(release);
            if (!co_await release)
                co_return std::nullopt;
        }
    } catch (const CancelledError&) {
        co_return std::nullopt;
    }
    if (cancellation->isCancelled() || !state->evidence)
        co_return std::nullopt;
    AccessibilityCaptureDebug result;
    result.evidence = *state->evidence;
    result.windowFrame = state->evidence->windowFrame;
    result.accessibilityAttempts = 1;
    co_return result;
}
} // namespace

FakeActivityObserver::FakeActivityObserver(Clock& clock) : m_state(std::make_shared<State>()) {
    m_state->clock = &clock;
}

FakeActivityObserver::~FakeActivityObserver() {
    cancelCapture();
}

void FakeActivityObserver::setEvidence(std::optional<ActivityEvidence> evidence) {
    m_state->evidence = std::move(evidence);
}
const std::optional<ActivityEvidence>& FakeActivityObserver::evidence() const {
    return m_state->evidence;
}
void FakeActivityObserver::setIdentity(std::optional<ActivityWindowIdentity> identity) {
    m_state->identity = std::move(identity);
}
void FakeActivityObserver::setCaptureSeconds(double seconds) {
    m_state->captureSeconds = seconds;
}
void FakeActivityObserver::setHoldCaptures(bool hold) {
    m_state->hold = hold;
}
void FakeActivityObserver::releaseCaptures() {
    auto held = std::move(m_state->held);
    m_state->held.clear();
    for (auto& wakeup : held)
        wakeup.fire();
}
void FakeActivityObserver::setPermissions(bool accessibility, bool screen) {
    m_state->accessibility = accessibility;
    m_state->screen = screen;
}
void FakeActivityObserver::setPage(std::optional<FrontmostPage> page) {
    m_state->page = std::move(page);
}
int FakeActivityObserver::captureCount() const {
    return m_state->captures;
}
int FakeActivityObserver::runningCaptures() const {
    return m_state->running;
}
int FakeActivityObserver::cancelCount() const {
    return m_state->cancels;
}
int FakeActivityObserver::identityReads() const {
    return m_state->identityReads;
}
QList<ActivityWindowIdentity> FakeActivityObserver::returnedTo() const {
    return m_state->returnedTo;
}

QCoro::Task<std::optional<AccessibilityCaptureDebug>> FakeActivityObserver::captureFrontmostActivity(bool) {
    ++m_state->captures;
    return runCapture(m_state);
}

std::optional<ActivityWindowIdentity> FakeActivityObserver::currentWindowIdentity() {
    ++m_state->identityReads;
    if (m_state->identity)
        return *m_state->identity;
    if (m_state->evidence)
        return m_state->evidence->windowIdentity();
    return std::nullopt;
}

QCoro::Task<std::optional<FrontmostPage>> FakeActivityObserver::frontmostPage(QSet<QString>) {
    // A copy: QCoro moves out of an lvalue given to co_return.
    std::optional<FrontmostPage> page = m_state->page;
    co_return page;
}

void FakeActivityObserver::returnToWindow(const ActivityWindowIdentity& identity) {
    m_state->returnedTo.append(identity);
}

void FakeActivityObserver::cancelCapture() {
    ++m_state->cancels;
    m_state->cancellation->cancel();
    m_state->cancellation = std::make_shared<CancellationSource>();
    auto held = std::move(m_state->held);
    m_state->held.clear();
    for (auto& wakeup : held)
        wakeup.fire(true);
}

bool FakeActivityObserver::accessibilityTrusted() {
    return m_state->accessibility;
}

bool FakeActivityObserver::screenCaptureAllowed() {
    return m_state->screen;
}

} // namespace tavrine::test

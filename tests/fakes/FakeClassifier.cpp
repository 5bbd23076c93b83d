#include "fakes/FakeClassifier.h"

#include "tavrine/core/Cancellation.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/Wakeup.h"

#include <vector>

namespace tavrine::test {

struct FakeClassifier::State {
    Clock* clock = nullptr;
    Verdict verdict;
    std::function<Verdict(const ActivityEvidence&)> responder;
    double judgeSeconds = 1.0;
    bool hold = false;
    int classifies = 0;
    int running = 0;
    int resets = 0;
    QStringList prepared;
    QString lastIntention;
    std::optional<ActivityEvidence> lastEvidence;
    std::optional<double> lastConfidence;
    std::optional<QString> lastWorkNote;
    CancellationSource gone;
    std::vector<Wakeup> held;
};

namespace {
QCoro::Task<ActivityJudgment> runJudgment(std::shared_ptr<FakeClassifier::State> state, ActivityEvidence evidence,
                                          std::function<void(ActivityRelevance)> onLabel) {
    ++state->running;
    struct Running {
        std::shared_ptr<FakeClassifier::State> state;
        ~Running() { --state->running; }
    } running{state};
    co_await state->clock->sleep(state->judgeSeconds, state->gone.token());
    if (state->hold) {
        Wakeup release;
        state->held.push_back(release);
        if (!co_await release)
            throw CancelledError();
    }
    const FakeClassifier::Verdict verdict = state->responder ? state->responder(evidence) : state->verdict;
    if (verdict.error)
        std::rethrow_exception(verdict.error);
    if (verdict.earlyLabel && onLabel)
        onLabel(verdict.label);
    state->lastConfidence = verdict.confidence;
    state->lastWorkNote = verdict.workNote;
    co_return ActivityJudgment{verdict.label, verdict.activity};
}
} // namespace

FakeClassifier::FakeClassifier(Clock& clock) : m_state(std::make_shared<State>()) {
    m_state->clock = &clock;
}

FakeClassifier::~FakeClassifier() {
    m_state->gone.cancel();
    auto held = std::move(m_state->held);
    m_state->held.clear();
    for (auto& wakeup : held)
        wakeup.fire(true);
}

void FakeClassifier::setVerdict(Verdict verdict) {
    m_state->verdict = std::move(verdict);
}
void FakeClassifier::setResponder(std::function<Verdict(const ActivityEvidence&)> responder) {
    m_state->responder = std::move(responder);
}
void FakeClassifier::setJudgeSeconds(double seconds) {
    m_state->judgeSeconds = seconds;
}
void FakeClassifier::setHoldJudgments(bool hold) {
    m_state->hold = hold;
}
void FakeClassifier::releaseJudgments() {
    auto held = std::move(m_state->held);
    m_state->held.clear();
    for (auto& wakeup : held)
        wakeup.fire();
}
int FakeClassifier::classifyCount() const {
    return m_state->classifies;
}
int FakeClassifier::runningJudgments() const {
    return m_state->running;
}
int FakeClassifier::resetCount() const {
    return m_state->resets;
}
QStringList FakeClassifier::preparedIntentions() const {
    return m_state->prepared;
}
QString FakeClassifier::lastIntention() const {
    return m_state->lastIntention;
}
std::optional<ActivityEvidence> FakeClassifier::lastEvidence() const {
    return m_state->lastEvidence;
}

void FakeClassifier::prepare(const QString& intention) {
    m_state->prepared.append(intention);
}

void FakeClassifier::reset() {
    ++m_state->resets;
    m_state->lastConfidence.reset();
    m_state->lastWorkNote.reset();
}

QCoro::Task<ActivityJudgment> FakeClassifier::classify(QString intention, ActivityEvidence evidence,
                                                       std::function<void(ActivityRelevance)> onLabel) {
    ++m_state->classifies;
    m_state->lastIntention = intention;
    m_state->lastEvidence = evidence;
    return runJudgment(m_state, std::move(evidence), std::move(onLabel));
}

std::optional<double> FakeClassifier::lastConfidence() const {
    return m_state->lastConfidence;
}

std::optional<QString> FakeClassifier::lastWorkNote() const {
    return m_state->lastWorkNote;
}

} // namespace tavrine::test

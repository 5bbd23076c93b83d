#include "tavrine/services/JevRelevanceClassifier.h"

#include "tavrine/core/Text.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/services/JevClient.h"

#include <QList>

namespace tavrine {

struct JevRelevanceClassifier::State {
    bool alive = true;
    quint64 generation = 0;
    bool isCurrent(quint64 since) const { return alive && generation == since; }
};

// The expansion that `prepare` started: its brief once known, the calls waiting for it, and its cancellation.
struct JevRelevanceClassifier::SharedExpansion {
    std::optional<JobBrief> brief;
    QList<Wakeup> waiting;
    CancellationSource cancellation;
};

JevRelevanceClassifier::JevRelevanceClassifier(std::shared_ptr<JevJudging> judge,
                                               std::shared_ptr<JobExpanding> expander)
    : m_judge(std::move(judge)), m_expander(std::move(expander)), m_state(std::make_shared<State>()) {
    if (!m_judge)
        m_judge = std::make_shared<JevClient>(
            TavrineAPIClient::create([]() -> std::optional<QString> { return std::nullopt; }, {}));
}

JevRelevanceClassifier::~JevRelevanceClassifier() {
    m_state->alive = false;
    if (m_pendingBrief)
        m_pendingBrief->expansion->cancellation.cancel();
}

std::optional<QString> JevRelevanceClassifier::pendingBriefIntention() const {
    return m_pendingBrief ? std::optional<QString>(m_pendingBrief->intention) : std::nullopt;
}

QString JevRelevanceClassifier::workNote(const JobBrief& brief, const JevVerdict& verdict) {
    if (brief.actions && !brief.actions->isEmpty())
        return QStringLiteral("job[model ") + brief.version + QStringLiteral("]: ") + *brief.actions +
               QLatin1Char('\n') + verdict.summary();
    return verdict.summary();
}

void JevRelevanceClassifier::prepare(const QString& intention) {
    if (!m_expander)
        return;
    const QString trimmed = text::trimmed(intention);
    if (trimmed.isEmpty())
        return;
    if (m_pendingBrief && m_pendingBrief->intention == trimmed)
        return;
    // An earlier pending expansion is let go, not cancelled: it runs to its end and its brief is dropped.
    auto expansion = std::make_shared<SharedExpansion>();
    m_pendingBrief = PendingBrief{trimmed, expansion};
    // Stored before it starts: the expansion may finish before the call returns.
    runExpansion(m_expander, trimmed, expansion);
}

void JevRelevanceClassifier::reset() {
    if (m_pendingBrief)
        m_pendingBrief->expansion->cancellation.cancel();
    m_pendingBrief.reset();
    m_judgmentCache.clear();
    m_briefCache.clear();
    m_lastConfidence.reset();
    m_lastWorkNote.reset();
    ++m_state->generation;
}

QCoro::Task<void> JevRelevanceClassifier::runExpansion(std::shared_ptr<JobExpanding> expander, QString intention,
                                                       std::shared_ptr<SharedExpansion> expansion) {
    // Nobody awaits this task: nothing may escape it.
    JobBrief brief;
    try {
        brief = co_await expander->expand(intention, expansion->cancellation.token());
    } catch (...) {
        brief = JobBrief::fallback(intention);
    }
    expansion->brief = brief;
    const QList<Wakeup> waiting = std::exchange(expansion->waiting, {});
    for (const Wakeup& wakeup : waiting)
        wakeup.fire();
}

QCoro::Task<JobBrief> JevRelevanceClassifier::awaitExpansion(std::shared_ptr<SharedExpansion> expansion) {
    if (!expansion->brief) {
        Wakeup wakeup;
        expansion->waiting.append(wakeup);
        co_await wakeup;
    }
    co_return *expansion->brief;
}

QCoro::Task<JobBrief> JevRelevanceClassifier::briefFor(QString intention, std::shared_ptr<State> state,
                                                       quint64 generation) {
    if (intention.isEmpty())
        co_return JobBrief::fallback(QString());
    if (const auto cached = m_briefCache.constFind(intention); cached != m_briefCache.cend())
        co_return *cached;

    JobBrief brief;
    if (m_pendingBrief && m_pendingBrief->intention == intention) {
        brief = co_await awaitExpansion(m_pendingBrief->expansion);
    } else if (m_expander) {
        const std::shared_ptr<JobExpanding> expander = m_expander;
        brief = co_await expander->expand(intention);
    } else {
        brief = JobBrief::fallback(intention);
    }
    // A call from before a reset uses its brief but keeps nothing: the reset emptied the caches for good.
    if (state->isCurrent(generation)) {
        m_pendingBrief.reset();
        m_briefCache.insert(intention, brief);
    }
    co_return brief;
}

QCoro::Task<ActivityJudgment> JevRelevanceClassifier::classify(QString intention, ActivityEvidence evidence,
                                                               std::function<void(ActivityRelevance)> onLabel) {
    const std::shared_ptr<State> state = m_state;
    const quint64 generation = state->generation;
    const JudgmentKey key{evidence.imageFingerprint, evidence.url, evidence.title, intention};

    if (const auto cached = m_judgmentCache.constFind(key); cached != m_judgmentCache.cend()) {
        const CachedJudgment hit = *cached;
        m_lastConfidence = hit.confidence;
        m_lastWorkNote = hit.note;
        if (onLabel)
            onLabel(hit.judgment.label);
        co_return hit.judgment;
    }

    const std::shared_ptr<JevJudging> judge = m_judge;
    const JobBrief brief = co_await briefFor(intention, state, generation);
    // A failed judgment leaves no cache entry and keeps the earlier last values.
    const JevVerdict verdict = co_await judge->judge(brief.intention, brief.actions, evidence);
    const ActivityJudgment judgment{verdict.label, QString()};
    if (state->isCurrent(generation)) {
        const QString note = workNote(brief, verdict);
        m_lastConfidence = verdict.supportsJob;
        m_lastWorkNote = note;
        m_judgmentCache.insert(key, CachedJudgment{judgment, verdict.supportsJob, note});
    }
    if (onLabel)
        onLabel(verdict.label);
    co_return judgment;
}

} // namespace tavrine

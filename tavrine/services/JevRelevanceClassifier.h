#pragma once

#include "tavrine/model/ActivityClassifying.h"
#include "tavrine/services/JevJudging.h"
#include "tavrine/services/JobExpanding.h"

#include <QHash>
#include <memory>

namespace tavrine {

// The session's classifier: the judge, with the intention's job brief (expanded once, started ahead of time by
// `prepare`) and a cache of judgments. Judgments are cached per screenshot fingerprint, page address, window
// title and intention: two pages built on one template look alike at 16×16 grey, so the fingerprint alone would
// hand one page's verdict to another. Every `reset` starts a new generation; a call begun before it still
// answers its caller but leaves no trace in the caches or the last values.
class JevRelevanceClassifier : public ActivityClassifying {
public:
    // Without a judge, one of its own on an API client with no token (so every judgment fails with
    // missingAPIKey). Without an expander, no expansion.
    explicit JevRelevanceClassifier(std::shared_ptr<JevJudging> judge = nullptr,
                                    std::shared_ptr<JobExpanding> expander = nullptr);
    ~JevRelevanceClassifier() override;

    void prepare(const QString& intention) override;
    void reset() override;
    QCoro::Task<ActivityJudgment> classify(QString intention, ActivityEvidence evidence,
                                           std::function<void(ActivityRelevance)> onLabel) override;
    std::optional<double> lastConfidence() const override { return m_lastConfidence; }
    std::optional<QString> lastWorkNote() const override { return m_lastWorkNote; }

    // The note kept with a judgment: the job's actions (when the brief has any) and the verdict's summary.
    static QString workNote(const JobBrief& brief, const JevVerdict& verdict);

    // For tests and diagnostics.
    qsizetype cachedJudgmentCount() const { return m_judgmentCache.size(); }
    qsizetype cachedBriefCount() const { return m_briefCache.size(); }
    std::optional<QString> pendingBriefIntention() const;

private:
    struct JudgmentKey {
        QString fingerprint;
        QString url;
        QString title;
        QString intention;
        friend bool operator==(const JudgmentKey&, const JudgmentKey&) = default;
        friend size_t qHash(const JudgmentKey& key, size_t seed = 0) {
            return qHashMulti(seed, key.fingerprint, key.url, key.title, key.intention);
        }
    };
    struct CachedJudgment {
        ActivityJudgment judgment;
        std::optional<double> confidence;
        QString note;
    };
    struct SharedExpansion;
    struct PendingBrief {
        QString intention;
        std::shared_ptr<SharedExpansion> expansion;
    };
    struct State;

    QCoro::Task<JobBrief> briefFor(QString intention, std::shared_ptr<State> state, quint64 generation);
    static QCoro::Task<JobBrief> awaitExpansion(std::shared_ptr<SharedExpansion> expansion);
    static QCoro::Task<void> runExpansion(std::shared_ptr<JobExpanding> expander, QString intention,
                                          std::shared_ptr<SharedExpansion> expansion);

    std::shared_ptr<JevJudging> m_judge;
    std::shared_ptr<JobExpanding> m_expander;
    QHash<JudgmentKey, CachedJudgment> m_judgmentCache;
    QHash<QString, JobBrief> m_briefCache;
    std::optional<PendingBrief> m_pendingBrief;
    std::optional<double> m_lastConfidence;
    std::optional<QString> m_lastWorkNote;
    // Shared with calls in flight: the generation they began in, and whether the classifier still exists.
    std::shared_ptr<State> m_state;
};

} // namespace tavrine

#pragma once

#include "tavrine/core/Clock.h"
#include "tavrine/model/ActivityClassifying.h"

#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace tavrine::test {

// A classifier with scripted verdicts. Each judgment takes `judgeSeconds` on the given clock and, while
// judgments are held, waits for `releaseJudgments`. A judgment still running when the fake is destroyed
// throws CancelledError and never touches the destroyed fake.
class FakeClassifier final : public ActivityClassifying {
public:
    struct Verdict {
        ActivityRelevance label = ActivityRelevance::Relevant;
        QString activity;
        std::optional<double> confidence = 0.9;
        std::optional<QString> workNote;
        // Reported through the label callback before the judgment returns.
        bool earlyLabel = false;
        // Thrown instead of answering.
        std::exception_ptr error;
    };

    explicit FakeClassifier(Clock& clock);
    ~FakeClassifier() override;

    // The verdict for every evidence record …
    void setVerdict(Verdict verdict);
    // … or one chosen per record (read when the judgment finishes).
    void setResponder(std::function<Verdict(const ActivityEvidence&)> responder);
    void setJudgeSeconds(double seconds);
    void setHoldJudgments(bool hold);
    void releaseJudgments();

    int classifyCount() const;
    int runningJudgments() const;
    int resetCount() const;
    QStringList preparedIntentions() const;
    // Intention and evidence of the latest classify call.
    QString lastIntention() const;
    std::optional<ActivityEvidence> lastEvidence() const;

    void prepare(const QString& intention) override;
    void reset() override;
    QCoro::Task<ActivityJudgment> classify(QString intention, ActivityEvidence evidence,
                                           std::function<void(ActivityRelevance)> onLabel) override;
    std::optional<double> lastConfidence() const override;
    std::optional<QString> lastWorkNote() const override;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace tavrine::test

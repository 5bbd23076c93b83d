#include "ServicesTestSupport.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/services/JevClient.h"
#include "tavrine/services/JevClientError.h"
#include "tavrine/services/JevRelevanceClassifier.h"
#include "tavrine/services/LocalJobExpander.h"

#include <QQueue>

using namespace tavrine;
using namespace tavrine::test;

namespace {

// A gate a fake holds its answer at until the test opens it.
struct Gate {
    bool armed = false;
    QList<Wakeup> waiting;
    void open() {
        armed = false;
        for (const Wakeup& wakeup : std::exchange(waiting, {}))
            wakeup.fire();
    }
};

QCoro::Task<void> pass(std::shared_ptr<Gate> gate) {
    if (gate->armed) {
        Wakeup wakeup;
        gate->waiting.append(wakeup);
        co_await wakeup;
    }
}

JevVerdict verdict(ActivityRelevance label, double supports) {
    return JevVerdict{0.8, supports, label, QStringLiteral("Q"), QStringLiteral("v"), QStringLiteral("m")};
}

class FakeJudge : public JevJudging {
public:
    struct Call {
        QString intention;
        std::optional<QString> actions;
        ActivityEvidence evidence;
    };
    QList<Call> calls;
    QQueue<std::optional<JevVerdict>> answers; // none: fail
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();

    QCoro::Task<JevVerdict> judge(QString intention, std::optional<QString> actions,
                                  ActivityEvidence evidence) override {
        calls.append({intention, actions, evidence});
        const std::optional<JevVerdict> answer =
            answers.isEmpty() ? verdict(ActivityRelevance::Relevant, 0.9) : answers.dequeue();
        co_await pass(gate);
        if (!answer)
            throw JevClientError::httpStatus(500, QStringLiteral("down"));
        co_return *answer;
    }
};

class FakeExpander : public JobExpanding {
public:
    QStringList calls;
    int cancelled = 0;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();

    QCoro::Task<JobBrief> expand(QString intention, CancellationToken cancellation) override {
        calls.append(intention);
        const std::shared_ptr<Gate> held = gate;
        CancellationSubscription subscription = cancellation.onCancel([held] { held->open(); });
        co_await pass(held);
        if (cancellation.isCancelled()) {
            ++cancelled;
            co_return JobBrief::fallback(intention);
        }
        co_return JobBrief{intention, QStringLiteral("actions of ") + intention, QStringLiteral("exp-1")};
    }
};

ActivityEvidence page(const QString& fingerprint, const QString& url = QString(), const QString& title = QString()) {
    ActivityEvidence evidence;
    evidence.imageFingerprint = fingerprint;
    evidence.url = url;
    evidence.title = title;
    return evidence;
}

} // namespace

class ClassifierTest : public ::testing::Test {
protected:
    Outcome<ActivityJudgment> classify(const QString& intention, const ActivityEvidence& evidence) {
        return run(classifier.classify(intention, evidence, [this](ActivityRelevance label) { labels.append(label); }));
    }

    std::shared_ptr<FakeJudge> judge = std::make_shared<FakeJudge>();
    std::shared_ptr<FakeExpander> expander = std::make_shared<FakeExpander>();
    JevRelevanceClassifier classifier{judge, expander};
    QList<ActivityRelevance> labels;
};

TEST_F(ClassifierTest, RepeatedObservationsAreAnsweredFromTheCache) {
    judge->answers.enqueue(verdict(ActivityRelevance::Unrelated, 0.1));
    const auto first = classify(QStringLiteral("report"), page(QStringLiteral("ff00")));
    ASSERT_TRUE(first.value);
    EXPECT_EQ(first.value->label, ActivityRelevance::Unrelated);
    EXPECT_EQ(first.value->activity, QString());
    const auto note = classifier.lastWorkNote();
    EXPECT_EQ(note, QStringLiteral("job[model exp-1]: actions of report\nenough_evidence: 0.8000\nQ: 0.1000"));

    // Other visible text, same window and page: no request, the same label, confidence and note.
    ActivityEvidence again = page(QStringLiteral("ff00"));
    again.text = QStringLiteral("scrolled further");
    const auto second = classify(QStringLiteral("report"), again);
    ASSERT_TRUE(second.value);
    EXPECT_EQ(judge->calls.size(), 1);
    EXPECT_EQ(second.value->label, ActivityRelevance::Unrelated);
    EXPECT_EQ(classifier.lastConfidence(), 0.1);
    EXPECT_EQ(classifier.lastWorkNote(), note);
    EXPECT_EQ(labels, (QList<ActivityRelevance>{ActivityRelevance::Unrelated, ActivityRelevance::Unrelated}));

    // An empty fingerprint is a fingerprint like any other.
    ASSERT_TRUE(classify(QStringLiteral("report"), page(QString())).value);
    ASSERT_TRUE(classify(QStringLiteral("report"), page(QString())).value);
    EXPECT_EQ(judge->calls.size(), 2);
}

TEST_F(ClassifierTest, PagesThatLookAlikeAreJudgedApart) {
    // One template, two pages: alike at 16×16 grey, told apart by address and title.
    ASSERT_TRUE(classify(QStringLiteral("report"),
                         page(QStringLiteral("aa"), QStringLiteral("https://a/1"), QStringLiteral("Issue 1")))
                    .value);
    ASSERT_TRUE(classify(QStringLiteral("report"),
                         page(QStringLiteral("aa"), QStringLiteral("https://a/2"), QStringLiteral("Issue 1")))
                    .value);
    ASSERT_TRUE(classify(QStringLiteral("report"),
                         page(QStringLiteral("aa"), QStringLiteral("https://a/2"), QStringLiteral("Issue 2")))
                    .value);
    // The same fingerprint under another intention is judged afresh too.
    ASSERT_TRUE(classify(QStringLiteral("taxes"),
                         page(QStringLiteral("aa"), QStringLiteral("https://a/2"), QStringLiteral("Issue 2")))
                    .value);
    EXPECT_EQ(judge->calls.size(), 4);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 4);
}

TEST_F(ClassifierTest, AFailedJudgmentLeavesNoTrace) {
    ASSERT_TRUE(classify(QStringLiteral("report"), page(QStringLiteral("a"))).value);
    const auto confidence = classifier.lastConfidence();
    const auto note = classifier.lastWorkNote();
    judge->answers.enqueue(std::nullopt);
    const auto failed = classify(QStringLiteral("report"), page(QStringLiteral("b")));
    EXPECT_TRUE(errorAs<JevClientError>(failed));
    EXPECT_EQ(classifier.lastConfidence(), confidence);
    EXPECT_EQ(classifier.lastWorkNote(), note);
    EXPECT_EQ(labels.size(), 1);
    // The next observation with that key asks again.
    ASSERT_TRUE(classify(QStringLiteral("report"), page(QStringLiteral("b"))).value);
    EXPECT_EQ(judge->calls.size(), 3);
    // The brief was kept: one expansion for all three.
    EXPECT_EQ(expander->calls, QStringList{QStringLiteral("report")});
}

TEST_F(ClassifierTest, PrepareStartsOneExpansionPerTrimmedIntention) {
    classifier.prepare(QStringLiteral(" \n\t "));
    EXPECT_TRUE(expander->calls.isEmpty());
    classifier.prepare(QStringLiteral("  write the report \n"));
    classifier.prepare(QStringLiteral("write the report"));
    EXPECT_EQ(expander->calls, QStringList{QStringLiteral("write the report")});
    EXPECT_EQ(classifier.pendingBriefIntention(), QStringLiteral("write the report"));

    // classify takes up the prepared brief instead of expanding again.
    ASSERT_TRUE(classify(QStringLiteral("write the report"), page(QStringLiteral("a"))).value);
    EXPECT_EQ(expander->calls.size(), 1);
    EXPECT_EQ(judge->calls.first().actions, QStringLiteral("actions of write the report"));
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);
    EXPECT_EQ(classifier.cachedBriefCount(), 1);
}

TEST_F(ClassifierTest, AnotherIntentionIsExpandedOnItsOwn) {
    expander->gate->armed = true;
    classifier.prepare(QStringLiteral("A"));
    auto outcome = start(classifier.classify(QStringLiteral("B"), page(QStringLiteral("x")), {}));
    expander->gate->open();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    ASSERT_TRUE(outcome->value);
    EXPECT_EQ(expander->calls, (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(expander->cancelled, 0);
    EXPECT_EQ(judge->calls.first().actions, QStringLiteral("actions of B"));
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);
    EXPECT_EQ(classifier.cachedBriefCount(), 1);
}

TEST_F(ClassifierTest, ResetForgetsEverythingAndCancelsThePreparedExpansion) {
    ASSERT_TRUE(classify(QStringLiteral("report"), page(QStringLiteral("a"))).value);
    expander->gate->armed = true;
    classifier.prepare(QStringLiteral("next"));
    classifier.reset();
    EXPECT_TRUE(waitUntil([&] { return expander->cancelled == 1; }));
    EXPECT_EQ(classifier.lastConfidence(), std::nullopt);
    EXPECT_EQ(classifier.lastWorkNote(), std::nullopt);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 0);
    EXPECT_EQ(classifier.cachedBriefCount(), 0);
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);
    // After a reset the intention is expanded again on the first observation.
    ASSERT_TRUE(classify(QStringLiteral("report"), page(QStringLiteral("a"))).value);
    EXPECT_EQ(judge->calls.size(), 2);
    EXPECT_EQ(expander->calls.count(QStringLiteral("report")), 2);
}

TEST_F(ClassifierTest, ACallFromBeforeAResetAnswersItsCallerButStoresNothing) {
    // The call waits for the prepared expansion, which the reset cancels: its brief has no actions.
    expander->gate->armed = true;
    classifier.prepare(QStringLiteral("report"));
    auto stale = start(classifier.classify(QStringLiteral("report"), page(QStringLiteral("a")), {}));
    classifier.reset();
    ASSERT_TRUE(waitUntil([&] { return stale->finished; }));
    ASSERT_TRUE(stale->value);
    EXPECT_EQ(judge->calls.first().actions, std::nullopt);
    EXPECT_EQ(classifier.cachedBriefCount(), 0);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 0);
    EXPECT_EQ(classifier.lastConfidence(), std::nullopt);
    EXPECT_EQ(classifier.lastWorkNote(), std::nullopt);

    // A call held at the judge across a reset stores nothing either, while a new call afterwards does.
    judge->gate->armed = true;
    auto held = start(classifier.classify(QStringLiteral("report"), page(QStringLiteral("b")), {}));
    ASSERT_TRUE(waitUntil([&] { return judge->calls.size() == 2; }));
    classifier.reset();
    judge->gate->open();
    ASSERT_TRUE(waitUntil([&] { return held->finished; }));
    ASSERT_TRUE(held->value);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 0);
    EXPECT_EQ(classifier.cachedBriefCount(), 0);
    EXPECT_EQ(classifier.lastConfidence(), std::nullopt);

    ASSERT_TRUE(classify(QStringLiteral("report"), page(QStringLiteral("b"))).value);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 1);
    EXPECT_EQ(classifier.lastConfidence(), 0.9);
    EXPECT_EQ(judge->calls.last().actions, QStringLiteral("actions of report"));
}

TEST_F(ClassifierTest, WithoutExpanderOrIntentionTheBriefHasNoActions) {
    JevRelevanceClassifier plain(judge);
    plain.prepare(QStringLiteral("report"));
    EXPECT_EQ(plain.pendingBriefIntention(), std::nullopt);
    ASSERT_TRUE(run(plain.classify(QStringLiteral("  write \n the   report "), page(QStringLiteral("a")), {})).value);
    EXPECT_EQ(judge->calls.last().intention, QStringLiteral("write the report"));
    EXPECT_EQ(judge->calls.last().actions, std::nullopt);
    EXPECT_EQ(plain.lastWorkNote(), QStringLiteral("enough_evidence: 0.8000\nQ: 0.9000"));
    EXPECT_EQ(plain.cachedBriefCount(), 1);

    // An empty intention is judged with an empty brief that is not kept.
    ASSERT_TRUE(classify(QString(), page(QStringLiteral("z"))).value);
    EXPECT_EQ(judge->calls.last().intention, QString());
    EXPECT_TRUE(expander->calls.isEmpty());
    EXPECT_EQ(classifier.cachedBriefCount(), 0);
}

TEST_F(FakeApiTest, AFailedExpansionSendsEmptyActionsAndANoteWithoutJob) {
    auto client = makeClient();
    JevRelevanceClassifier classifier(std::make_shared<JevClient>(client), std::make_shared<LocalJobExpander>(client));
    api.enqueue(QStringLiteral("job"), FakeReply::text(503, "busy"));
    api.enqueue(QStringLiteral("judge"),
                FakeReply::json(QJsonObject{{QStringLiteral("label"), QStringLiteral("uncertain")},
                                            {QStringLiteral("enough_evidence"), 0.5},
                                            {QStringLiteral("supports"), 0.5},
                                            {QStringLiteral("question"), QStringLiteral("Q")}}));
    classifier.prepare(QStringLiteral("report"));
    const auto outcome = run(classifier.classify(QStringLiteral("report"), page(QStringLiteral("a")), {}));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->label, ActivityRelevance::Uncertain);
    EXPECT_EQ(api.requests(QStringLiteral("judge")).first().json().value(QStringLiteral("actions")),
              QJsonValue(QString()));
    EXPECT_EQ(classifier.lastWorkNote(), QStringLiteral("enough_evidence: 0.5000\nQ: 0.5000"));
}

TEST(DefaultClassifier, HasNoTokenAndSendsNothing) {
    JevRelevanceClassifier classifier;
    const auto outcome = run(classifier.classify(QStringLiteral("report"), ActivityEvidence{}, {}));
    const auto error = errorAs<JevClientError>(outcome);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), JevClientError::Kind::missingAPIKey);
}

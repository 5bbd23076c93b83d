#include "ServicesTestSupport.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/services/JevClient.h"
#include "tavrine/services/JevClientError.h"
#include "tavrine/services/JevRelevanceClassifier.h"

#include <QQueue>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

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
    return JevVerdict{0.8, supports, label, u"Q"_s, u"v"_s, u"m"_s};
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
            throw JevClientError::httpStatus(500, u"down"_s);
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
        co_return JobBrief{intention, u"actions of "_s + intention, u"exp-1"_s};
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
    void expectForgotten() {
        EXPECT_EQ(classifier.cachedJudgmentCount(), 0);
        EXPECT_EQ(classifier.cachedBriefCount(), 0);
        EXPECT_EQ(classifier.lastConfidence(), std::nullopt);
        EXPECT_EQ(classifier.lastWorkNote(), std::nullopt);
    }

    std::shared_ptr<FakeJudge> judge = std::make_shared<FakeJudge>();
    std::shared_ptr<FakeExpander> expander = std::make_shared<FakeExpander>();
    JevRelevanceClassifier classifier{judge, expander};
    QList<ActivityRelevance> labels;
};

TEST_F(ClassifierTest, ObservationsAreCachedByFingerprintPageAddressTitleAndIntention) {
    judge->answers.enqueue(verdict(ActivityRelevance::Unrelated, 0.1));
    const auto first = classify(u"report"_s, page(u"ff00"_s));
    ASSERT_TRUE(first.value);
    EXPECT_EQ(first.value->label, ActivityRelevance::Unrelated);
    const auto note = classifier.lastWorkNote();
    EXPECT_EQ(note, u"job[model exp-1]: actions of report\nenough_evidence: 0.8000\nQ: 0.1000"_s);

    // Other visible text, same window and page: no request, the same label, confidence and note.
    ActivityEvidence again = page(u"ff00"_s);
    again.text = u"scrolled further"_s;
    const auto second = classify(u"report"_s, again);
    ASSERT_TRUE(second.value);
    EXPECT_EQ(judge->calls.size(), 1);
    EXPECT_EQ(second.value->label, ActivityRelevance::Unrelated);
    EXPECT_EQ(classifier.lastConfidence(), 0.1);
    EXPECT_EQ(classifier.lastWorkNote(), note);
    EXPECT_EQ(labels, (QList<ActivityRelevance>{ActivityRelevance::Unrelated, ActivityRelevance::Unrelated}));

    // One template, two pages: alike at 16x16 grey, told apart by address and title; another intention too.
    ASSERT_TRUE(classify(u"report"_s, page(u"aa"_s, u"https://a/1"_s, u"Issue 1"_s)).value);
    ASSERT_TRUE(classify(u"report"_s, page(u"aa"_s, u"https://a/2"_s, u"Issue 1"_s)).value);
    ASSERT_TRUE(classify(u"report"_s, page(u"aa"_s, u"https://a/2"_s, u"Issue 2"_s)).value);
    ASSERT_TRUE(classify(u"taxes"_s, page(u"aa"_s, u"https://a/2"_s, u"Issue 2"_s)).value);
    EXPECT_EQ(judge->calls.size(), 5);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 5);
}

TEST_F(ClassifierTest, AFailedJudgmentLeavesNoTrace) {
    ASSERT_TRUE(classify(u"report"_s, page(u"a"_s)).value);
    const auto confidence = classifier.lastConfidence();
    const auto note = classifier.lastWorkNote();
    judge->answers.enqueue(std::nullopt);
    EXPECT_TRUE(errorAs<JevClientError>(classify(u"report"_s, page(u"b"_s))));
    EXPECT_EQ(classifier.lastConfidence(), confidence);
    EXPECT_EQ(classifier.lastWorkNote(), note);
    EXPECT_EQ(labels.size(), 1);
    // The next observation with that key asks again; the brief was kept: one expansion for all three.
    ASSERT_TRUE(classify(u"report"_s, page(u"b"_s)).value);
    EXPECT_EQ(judge->calls.size(), 3);
    EXPECT_EQ(expander->calls, QStringList{u"report"_s});
}

TEST_F(ClassifierTest, PrepareExpandsOncePerTrimmedIntentionAndClassifyTakesItUp) {
    classifier.prepare(u" \n\t "_s);
    EXPECT_TRUE(expander->calls.isEmpty());
    classifier.prepare(u"  write the report \n"_s);
    classifier.prepare(u"write the report"_s);
    EXPECT_EQ(expander->calls, QStringList{u"write the report"_s});
    EXPECT_EQ(classifier.pendingBriefIntention(), u"write the report"_s);
    ASSERT_TRUE(classify(u"write the report"_s, page(u"a"_s)).value);
    EXPECT_EQ(expander->calls.size(), 1);
    EXPECT_EQ(judge->calls.first().actions, u"actions of write the report"_s);
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);

    // Another intention than the prepared one is expanded on its own.
    expander->gate->armed = true;
    classifier.prepare(u"A"_s);
    auto outcome = start(classifier.classify(u"B"_s, page(u"x"_s), {}));
    expander->gate->open();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    ASSERT_TRUE(outcome->value);
    EXPECT_EQ(expander->calls.mid(1), (QStringList{u"A"_s, u"B"_s}));
    EXPECT_EQ(judge->calls.last().actions, u"actions of B"_s);
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);
}

TEST_F(ClassifierTest, ResetForgetsEverythingAndCallsFromBeforeItStoreNothing) {
    ASSERT_TRUE(classify(u"report"_s, page(u"a"_s)).value);
    // A call waiting for the prepared expansion, which the reset cancels: its brief has no actions.
    expander->gate->armed = true;
    classifier.prepare(u"next"_s);
    auto stale = start(classifier.classify(u"next"_s, page(u"a"_s), {}));
    classifier.reset();
    EXPECT_TRUE(waitUntil([&] { return expander->cancelled == 1 && stale->finished; }));
    ASSERT_TRUE(stale->value);
    EXPECT_EQ(judge->calls.last().actions, std::nullopt);
    expectForgotten();
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);

    // A call held at the judge across a reset answers its caller and stores nothing either.
    judge->gate->armed = true;
    auto held = start(classifier.classify(u"report"_s, page(u"b"_s), {}));
    ASSERT_TRUE(waitUntil([&] { return judge->calls.size() == 3; }));
    classifier.reset();
    judge->gate->open();
    ASSERT_TRUE(waitUntil([&] { return held->finished; }));
    ASSERT_TRUE(held->value);
    expectForgotten();

    // A new call afterwards expands and stores again.
    ASSERT_TRUE(classify(u"report"_s, page(u"a"_s)).value);
    EXPECT_EQ(judge->calls.size(), 4);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 1);
    EXPECT_EQ(classifier.lastConfidence(), 0.9);
    EXPECT_EQ(judge->calls.last().actions, u"actions of report"_s);
}

TEST_F(ClassifierTest, WithoutExpanderOrIntentionTheBriefHasNoActions) {
    JevRelevanceClassifier plain(judge);
    plain.prepare(u"report"_s);
    EXPECT_EQ(plain.pendingBriefIntention(), std::nullopt);
    ASSERT_TRUE(run(plain.classify(u"  write \n the   report "_s, page(u"a"_s), {})).value);
    EXPECT_EQ(judge->calls.last().intention, u"write the report"_s);
    EXPECT_EQ(judge->calls.last().actions, std::nullopt);
    EXPECT_EQ(plain.lastWorkNote(), u"enough_evidence: 0.8000\nQ: 0.9000"_s);

    // An empty intention is judged with an empty brief that is not kept.
    ASSERT_TRUE(classify(QString(), page(u"z"_s)).value);
    EXPECT_TRUE(expander->calls.isEmpty());
    EXPECT_EQ(classifier.cachedBriefCount(), 0);

    // The default classifier has no token and sends nothing.
    const auto error = errorAs<JevClientError>(run(JevRelevanceClassifier().classify(u"report"_s, {}, {})));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), JevClientError::Kind::missingAPIKey);
}

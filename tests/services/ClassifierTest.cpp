#include "ServicesTestSupport.h"
#include "tavrine/core/Wakeup.h"
#include "tavrine/services/JevClient.h"
#include "tavrine/services/JevClientError.h"
#include "tavrine/services/JevRelevanceClassifier.h"
#include "tavrine/services/LocalJobExpander.h"

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

    std::shared_ptr<FakeJudge> judge = std::make_shared<FakeJudge>();
    std::shared_ptr<FakeExpander> expander = std::make_shared<FakeExpander>();
    JevRelevanceClassifier classifier{judge, expander};
    QList<ActivityRelevance> labels;
};

TEST_F(ClassifierTest, RepeatedObservationsAreAnsweredFromTheCache) {
    judge->answers.enqueue(verdict(ActivityRelevance::Unrelated, 0.1));
    const auto first = classify(u"report"_s, page(u"ff00"_s));
    ASSERT_TRUE(first.value);
    EXPECT_EQ(first.value->label, ActivityRelevance::Unrelated);
    EXPECT_EQ(first.value->activity, QString());
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

    // An empty fingerprint is a fingerprint like any other.
    ASSERT_TRUE(classify(u"report"_s, page(QString())).value);
    ASSERT_TRUE(classify(u"report"_s, page(QString())).value);
    EXPECT_EQ(judge->calls.size(), 2);
}

TEST_F(ClassifierTest, PagesThatLookAlikeAreJudgedApart) {
    // One template, two pages: alike at 16×16 grey, told apart by address and title.
    ASSERT_TRUE(classify(u"report"_s, page(u"aa"_s, u"https://a/1"_s, u"Issue 1"_s)).value);
    ASSERT_TRUE(classify(u"report"_s, page(u"aa"_s, u"https://a/2"_s, u"Issue 1"_s)).value);
    ASSERT_TRUE(classify(u"report"_s, page(u"aa"_s, u"https://a/2"_s, u"Issue 2"_s)).value);
    // The same fingerprint under another intention is judged afresh too.
    ASSERT_TRUE(classify(u"taxes"_s, page(u"aa"_s, u"https://a/2"_s, u"Issue 2"_s)).value);
    EXPECT_EQ(judge->calls.size(), 4);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 4);
}

TEST_F(ClassifierTest, AFailedJudgmentLeavesNoTrace) {
    ASSERT_TRUE(classify(u"report"_s, page(u"a"_s)).value);
    const auto confidence = classifier.lastConfidence();
    const auto note = classifier.lastWorkNote();
    judge->answers.enqueue(std::nullopt);
    const auto failed = classify(u"report"_s, page(u"b"_s));
    EXPECT_TRUE(errorAs<JevClientError>(failed));
    EXPECT_EQ(classifier.lastConfidence(), confidence);
    EXPECT_EQ(classifier.lastWorkNote(), note);
    EXPECT_EQ(labels.size(), 1);
    // The next observation with that key asks again.
    ASSERT_TRUE(classify(u"report"_s, page(u"b"_s)).value);
    EXPECT_EQ(judge->calls.size(), 3);
    // The brief was kept: one expansion for all three.
    EXPECT_EQ(expander->calls, QStringList{u"report"_s});
}

TEST_F(ClassifierTest, PrepareStartsOneExpansionPerTrimmedIntention) {
    classifier.prepare(u" \n\t "_s);
    EXPECT_TRUE(expander->calls.isEmpty());
    classifier.prepare(u"  write the report \n"_s);
    classifier.prepare(u"write the report"_s);
    EXPECT_EQ(expander->calls, QStringList{u"write the report"_s});
    EXPECT_EQ(classifier.pendingBriefIntention(), u"write the report"_s);

    // classify takes up the prepared brief instead of expanding again.
    ASSERT_TRUE(classify(u"write the report"_s, page(u"a"_s)).value);
    EXPECT_EQ(expander->calls.size(), 1);
    EXPECT_EQ(judge->calls.first().actions, u"actions of write the report"_s);
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);
    EXPECT_EQ(classifier.cachedBriefCount(), 1);
}

TEST_F(ClassifierTest, AnotherIntentionIsExpandedOnItsOwn) {
    expander->gate->armed = true;
    classifier.prepare(u"A"_s);
    auto outcome = start(classifier.classify(u"B"_s, page(u"x"_s), {}));
    expander->gate->open();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }));
    ASSERT_TRUE(outcome->value);
    EXPECT_EQ(expander->calls, (QStringList{u"A"_s, u"B"_s}));
    EXPECT_EQ(expander->cancelled, 0);
    EXPECT_EQ(judge->calls.first().actions, u"actions of B"_s);
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);
    EXPECT_EQ(classifier.cachedBriefCount(), 1);
}

TEST_F(ClassifierTest, ResetForgetsEverythingAndCancelsThePreparedExpansion) {
    ASSERT_TRUE(classify(u"report"_s, page(u"a"_s)).value);
    expander->gate->armed = true;
    classifier.prepare(u"next"_s);
    classifier.reset();
    EXPECT_TRUE(waitUntil([&] { return expander->cancelled == 1; }));
    EXPECT_EQ(classifier.lastConfidence(), std::nullopt);
    EXPECT_EQ(classifier.lastWorkNote(), std::nullopt);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 0);
    EXPECT_EQ(classifier.cachedBriefCount(), 0);
    EXPECT_EQ(classifier.pendingBriefIntention(), std::nullopt);
    // After a reset the intention is expanded again on the first observation.
    ASSERT_TRUE(classify(u"report"_s, page(u"a"_s)).value);
    EXPECT_EQ(judge->calls.size(), 2);
    EXPECT_EQ(expander->calls.count(u"report"_s), 2);
}

TEST_F(ClassifierTest, ACallFromBeforeAResetAnswersItsCallerButStoresNothing) {
    // The call waits for the prepared expansion, which the reset cancels: its brief has no actions.
    expander->gate->armed = true;
    classifier.prepare(u"report"_s);
    auto stale = start(classifier.classify(u"report"_s, page(u"a"_s), {}));
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
    auto held = start(classifier.classify(u"report"_s, page(u"b"_s), {}));
    ASSERT_TRUE(waitUntil([&] { return judge->calls.size() == 2; }));
    classifier.reset();
    judge->gate->open();
    ASSERT_TRUE(waitUntil([&] { return held->finished; }));
    ASSERT_TRUE(held->value);
    EXPECT_EQ(classifier.cachedJudgmentCount(), 0);
    EXPECT_EQ(classifier.cachedBriefCount(), 0);
    EXPECT_EQ(classifier.lastConfidence(), std::nullopt);

    ASSERT_TRUE(classify(u"report"_s, page(u"b"_s)).value);
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
    EXPECT_EQ(plain.cachedBriefCount(), 1);

    // An empty intention is judged with an empty brief that is not kept.
    ASSERT_TRUE(classify(QString(), page(u"z"_s)).value);
    EXPECT_EQ(judge->calls.last().intention, QString());
    EXPECT_TRUE(expander->calls.isEmpty());
    EXPECT_EQ(classifier.cachedBriefCount(), 0);
}

TEST_F(FakeApiTest, AFailedExpansionSendsEmptyActionsAndANoteWithoutJob) {
    auto client = makeClient();
    JevRelevanceClassifier classifier(std::make_shared<JevClient>(client), std::make_shared<LocalJobExpander>(client));
    api.enqueue(u"job"_s, FakeReply::text(503, "busy"));
    api.enqueue(
        u"judge"_s,
        FakeReply::json(QJsonObject{
            {u"label"_s, u"uncertain"_s}, {u"enough_evidence"_s, 0.5}, {u"supports"_s, 0.5}, {u"question"_s, u"Q"_s}}));
    classifier.prepare(u"report"_s);
    const auto outcome = run(classifier.classify(u"report"_s, page(u"a"_s), {}));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->label, ActivityRelevance::Uncertain);
    EXPECT_EQ(api.requests(u"judge"_s).first().json().value(u"actions"_s), QJsonValue(QString()));
    EXPECT_EQ(classifier.lastWorkNote(), u"enough_evidence: 0.5000\nQ: 0.5000"_s);
}

TEST(DefaultClassifier, HasNoTokenAndSendsNothing) {
    JevRelevanceClassifier classifier;
    const auto outcome = run(classifier.classify(u"report"_s, ActivityEvidence{}, {}));
    const auto error = errorAs<JevClientError>(outcome);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), JevClientError::Kind::missingAPIKey);
}

#include "ServicesTestSupport.h"
#include "tavrine/services/LocalJobExpander.h"

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

namespace {

QJsonObject ok(const QJsonValue& actions) {
    return QJsonObject{{u"status"_s, u"ok"_s}, {u"actions"_s, actions}};
}

} // namespace

class JobExpanderTest : public FakeApiTest {
protected:
    JobBrief expand(const QString& intention) {
        LocalJobExpander expander(makeClient());
        const auto outcome = run(expander.expand(intention, {}));
        EXPECT_TRUE(outcome.value);
        return outcome.value.value_or(JobBrief{});
    }
};

TEST_F(JobExpanderTest, CollapsesTheIntentionAndTheActionsAndSendsNothingForABlankOne) {
    api.enqueue(u"job"_s, FakeReply::json(ok(u"  draft\n the  outline,\tcite  "_s)));
    EXPECT_EQ(expand(u"write\n\tthe  report "_s),
              (JobBrief{u"write the report"_s, u"draft the outline, cite"_s, u"job-actions-v2"_s}));
    EXPECT_EQ(api.requests().first().json(), (QJsonObject{{u"intention"_s, u"write the report"_s}}));

    EXPECT_EQ(expand(u" \n \t"_s), (JobBrief{QString(), std::nullopt, u"job-actions-v2"_s}));
    EXPECT_EQ(api.requests().size(), 1);

    // A named version is kept as it comes, an empty one included.
    QJsonObject versioned = ok(u"a"_s);
    versioned.insert(u"version"_s, QString());
    api.enqueue(u"job"_s, FakeReply::json(versioned));
    EXPECT_EQ(expand(u"x"_s).version, QString());
}

TEST_F(JobExpanderTest, EveryFailureGivesTheBriefWithoutActions) {
    const JobBrief fallback{u"write it"_s, std::nullopt, u"job-actions-v2"_s};
    FakeReply dropped = FakeReply::json(ok(u"a"_s));
    dropped.drop = FakeReply::Drop::beforeStatus;
    for (const FakeReply& reply :
         {FakeReply::json(QJsonObject{{u"status"_s, u"OK"_s}, {u"actions"_s, u"a"_s}}), FakeReply::json(ok(u" \n "_s)),
          FakeReply::json(ok(42)), FakeReply::json(QJsonObject{{u"error"_s, u"daily_limit"_s}}, 429),
          FakeReply::text(500, "down"), FakeReply::text(200, "not json"), dropped}) {
        api.enqueue(u"job"_s, reply);
        EXPECT_EQ(expand(u"write  it"_s), fallback) << reply.body.constData();
    }
    tokens->token.reset();
    EXPECT_EQ(expand(u"write it"_s), fallback);

    // A cancelled expansion ends at once, without actions.
    FakeReply slow = FakeReply::json(ok(u"a"_s));
    slow.delay = 5;
    api.enqueue(u"job"_s, slow);
    tokens->token = u"t"_s;
    CancellationSource source;
    LocalJobExpander expander(makeClient());
    auto outcome = start(expander.expand(u"write it"_s, source.token()));
    ASSERT_TRUE(waitUntil([&] { return api.requests().size() == 8; }));
    source.cancel();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }, 2));
    EXPECT_EQ(outcome->value, fallback);
}

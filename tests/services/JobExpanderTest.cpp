#include "ServicesTestSupport.h"
#include "tavrine/services/LocalJobExpander.h"

using namespace tavrine;
using namespace tavrine::test;

namespace {

QJsonObject ok(const QJsonValue& actions) {
    return QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}, {QStringLiteral("actions"), actions}};
}

} // namespace

class JobExpanderTest : public FakeApiTest {
protected:
    JobBrief expand(const QString& intention, CancellationToken cancellation = {}) {
        LocalJobExpander expander(makeClient());
        const auto outcome = run(expander.expand(intention, cancellation));
        EXPECT_TRUE(outcome.value);
        return outcome.value.value_or(JobBrief{});
    }
};

TEST_F(JobExpanderTest, CollapsesTheIntentionAndTheActions) {
    api.enqueue(QStringLiteral("job"), FakeReply::json(ok(QStringLiteral("  draft\n the  outline,\tcite  "))));
    const JobBrief brief = expand(QStringLiteral("write\n\tthe  report "));
    EXPECT_EQ(api.requests().first().json(),
              (QJsonObject{{QStringLiteral("intention"), QStringLiteral("write the report")}}));
    EXPECT_EQ(brief, (JobBrief{QStringLiteral("write the report"), QStringLiteral("draft the outline, cite"),
                               QStringLiteral("job-actions-v2")}));

    // A named version is kept as it comes, an empty one included.
    QJsonObject versioned = ok(QStringLiteral("a"));
    versioned.insert(QStringLiteral("version"), QString());
    api.enqueue(QStringLiteral("job"), FakeReply::json(versioned));
    EXPECT_EQ(expand(QStringLiteral("x")).version, QString());
}

TEST_F(JobExpanderTest, NothingToExpandSendsNothing) {
    EXPECT_EQ(expand(QStringLiteral(" \n \t")), (JobBrief{QString(), std::nullopt, QStringLiteral("job-actions-v2")}));
    EXPECT_TRUE(api.requests().isEmpty());
}

TEST_F(JobExpanderTest, EveryFailureGivesTheBriefWithoutActions) {
    const JobBrief fallback{QStringLiteral("write it"), std::nullopt, QStringLiteral("job-actions-v2")};
    const QList<FakeReply> replies = {
        FakeReply::json(QJsonObject{{QStringLiteral("status"), QStringLiteral("OK")},
                                    {QStringLiteral("actions"), QStringLiteral("a")}}),
        FakeReply::json(ok(QString())),
        FakeReply::json(ok(QStringLiteral(" \n "))),
        FakeReply::json(ok(42)),
        FakeReply::json(QJsonObject{{QStringLiteral("error"), QStringLiteral("daily_limit")}}, 429),
        FakeReply::text(500, "down"),
        FakeReply::text(200, "not json"),
    };
    for (const FakeReply& reply : replies) {
        api.enqueue(QStringLiteral("job"), reply);
        EXPECT_EQ(expand(QStringLiteral("write  it")), fallback) << reply.body.constData();
    }
    FakeReply dropped = FakeReply::json(ok(QStringLiteral("a")));
    dropped.drop = FakeReply::Drop::beforeStatus;
    api.enqueue(QStringLiteral("job"), dropped);
    EXPECT_EQ(expand(QStringLiteral("write it")), fallback);

    tokens->token.reset();
    EXPECT_EQ(expand(QStringLiteral("write it")), fallback);

    // A cancelled expansion ends at once, without actions.
    FakeReply slow = FakeReply::json(ok(QStringLiteral("a")));
    slow.delay = 5;
    api.enqueue(QStringLiteral("job"), slow);
    tokens->token = QStringLiteral("t");
    CancellationSource source;
    LocalJobExpander expander(makeClient());
    auto outcome = start(expander.expand(QStringLiteral("write it"), source.token()));
    ASSERT_TRUE(waitUntil([&] { return api.requests().size() == replies.size() + 2; }));
    source.cancel();
    ASSERT_TRUE(waitUntil([&] { return outcome->finished; }, 2));
    EXPECT_EQ(outcome->value, fallback);
}

TEST(JobExpander, ASendClosureStandsInForTheNetwork) {
    QStringList sent;
    LocalJobExpander expander(nullptr, [&sent](QString intention) -> QCoro::Task<QJsonObject> {
        sent.append(intention);
        return [](QString text) -> QCoro::Task<QJsonObject> {
            co_return QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")},
                                  {QStringLiteral("actions"), QStringLiteral("do ") + text},
                                  {QStringLiteral("version"), QStringLiteral("local")}};
        }(intention);
    });
    const auto outcome = run(expander.expand(QStringLiteral(" plan  trip ")));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(sent, QStringList{QStringLiteral("plan trip")});
    EXPECT_EQ(*outcome.value,
              (JobBrief{QStringLiteral("plan trip"), QStringLiteral("do plan trip"), QStringLiteral("local")}));
}

#include "tavrine/services/ApiTokenProvider.h"
#include "ServicesTestSupport.h"
#include "tavrine/core/Clock.h"
#include "tavrine/services/TavrineAPIError.h"

#include <QEventLoop>
#include <QQueue>
#include <QTimer>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

namespace {

// A keyring whose reads answer scripted tokens after scripted delays.
class FakeKeyring : public KeyringReading {
public:
    struct Answer {
        std::optional<QString> token;
        double delay = 0;
    };
    QQueue<Answer> answers;
    int reads = 0;

    QCoro::Task<std::optional<QString>> readToken() override {
        ++reads;
        const Answer answer = answers.isEmpty() ? Answer{} : answers.dequeue();
        co_await Clock::system().sleep(answer.delay);
        co_return answer.token;
    }
};

QCoro::Task<void> refresh(ApiTokenProvider* provider) {
    co_await provider->refreshBearerToken();
}

} // namespace

TEST(ApiTokenProvider, TheEnvironmentTokenIsUsedWithoutTouchingTheKeyring) {
    auto keyring = std::make_shared<FakeKeyring>();
    qputenv(ApiTokenProvider::tokenVariable, "env-token");
    auto provider = ApiTokenProvider::fromEnvironment(keyring);
    qunsetenv(ApiTokenProvider::tokenVariable);
    provider->start();
    EXPECT_EQ(provider->bearerToken(), u"env-token"_s);
    ASSERT_TRUE(run(refresh(provider.get())).finished);
    EXPECT_EQ(provider->bearerToken(), u"env-token"_s);
    EXPECT_EQ(keyring->reads, 0);
}

TEST(ApiTokenProvider, TheKeyringIsReadOnceAtStartAndAgainOnRefresh) {
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->answers.enqueue({u"stored-1"_s, 0.05});
    keyring->answers.enqueue({u"stored-2"_s, 0});
    auto provider = ApiTokenProvider::fromEnvironment(keyring);
    const auto bearer = provider->bearerTokenClosure();
    EXPECT_EQ(bearer(), std::nullopt);
    provider->start();
    ASSERT_TRUE(waitUntil([&] { return bearer().has_value(); }));
    EXPECT_EQ(bearer(), u"stored-1"_s);
    EXPECT_EQ(keyring->reads, 1);

    ASSERT_TRUE(run(provider->refreshBearerTokenClosure()()).finished);
    EXPECT_EQ(bearer(), u"stored-2"_s);
    EXPECT_EQ(keyring->reads, 2);

    // An emptied keyring takes the token away.
    ASSERT_TRUE(run(provider->refreshBearerTokenClosure()()).finished);
    EXPECT_EQ(bearer(), std::nullopt);
}

TEST(ApiTokenProvider, ASlowStartUpReadNeverOverwritesANewerRefresh) {
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->answers.enqueue({u"old"_s, 0.3});
    keyring->answers.enqueue({u"new"_s, 0});
    ApiTokenProvider provider(std::nullopt, keyring);
    provider.start();
    ASSERT_TRUE(run(refresh(&provider)).finished);
    EXPECT_EQ(provider.bearerToken(), u"new"_s);
    // Let the start-up read answer late.
    QEventLoop loop;
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(provider.bearerToken(), u"new"_s);
}

TEST(ApiTokenProvider, ClosuresOutliveTheProviderSafely) {
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->answers.enqueue({u"late"_s, 0.2});
    auto provider = std::make_unique<ApiTokenProvider>(std::nullopt, keyring);
    const auto bearer = provider->bearerTokenClosure();
    const auto refreshing = provider->refreshBearerTokenClosure();
    provider->start();
    provider.reset();
    EXPECT_EQ(bearer(), std::nullopt);
    EXPECT_TRUE(run(refreshing()).finished);
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST_F(FakeApiTest, ARefusedTokenIsReadAgainFromTheKeyringAndResent) {
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->answers.enqueue({u"revoked"_s});
    keyring->answers.enqueue({u"renewed"_s});
    ApiTokenProvider provider(std::nullopt, keyring);
    provider.start();
    ASSERT_TRUE(waitUntil([&] { return provider.bearerToken().has_value(); }));
    const QUrl base = api.baseURL();
    auto client = TavrineAPIClient::create(provider.bearerTokenClosure(), provider.refreshBearerTokenClosure(),
                                           [base] { return base; });
    api.enqueue(u"judge"_s, FakeReply::text(401, ""));
    api.enqueue(u"judge"_s, FakeReply::json(QJsonObject{{u"ok"_s, true}}));
    const auto outcome = run(client->post(u"judge"_s, QJsonObject{}, u"judge"_s, 60));
    ASSERT_TRUE(outcome.value);
    ASSERT_EQ(api.requests().size(), 2);
    EXPECT_EQ(api.requests()[0].header("Authorization"), "Bearer revoked");
    EXPECT_EQ(api.requests()[1].header("Authorization"), "Bearer renewed");
}

#include "tavrine/services/ApiTokenProvider.h"
#include "ServicesTestSupport.h"
#include "support/LogCapture.h"
#include "tavrine/core/Clock.h"

#include <QList>

using namespace tavrine;
using namespace tavrine::test;
using namespace Qt::StringLiterals;

namespace {

// A keyring whose reads answer scripted tokens after scripted delays.
class FakeKeyring : public KeyringReading {
public:
    QList<std::pair<std::optional<QString>, double>> answers;
    int reads = 0;

    QCoro::Task<std::optional<QString>> readToken() override {
        ++reads;
        const auto [token, delay] =
            answers.isEmpty() ? std::pair<std::optional<QString>, double>() : answers.takeFirst();
        co_await Clock::system().sleep(delay);
        co_return token;
    }
};

} // namespace

TEST(ApiTokenProvider, TheEnvironmentWinsOverTheKeyringWhichIsReadAtStartAndOnEachRefresh) {
    auto keyring = std::make_shared<FakeKeyring>();
    qputenv(ApiTokenProvider::tokenVariable, "env-token");
    auto fromEnvironment = ApiTokenProvider::fromEnvironment(keyring);
    qunsetenv(ApiTokenProvider::tokenVariable);
    fromEnvironment->start();
    ASSERT_TRUE(run(fromEnvironment->refreshBearerTokenClosure()()).finished);
    EXPECT_EQ(fromEnvironment->bearerToken(), u"env-token"_s);
    EXPECT_EQ(keyring->reads, 0);

    keyring->answers = {{u"stored-1"_s, 0.05}, {u"stored-2"_s, 0}};
    auto provider = ApiTokenProvider::fromEnvironment(keyring);
    const auto bearer = provider->bearerTokenClosure();
    EXPECT_EQ(bearer(), std::nullopt);
    provider->start();
    ASSERT_TRUE(waitUntil([&] { return bearer().has_value(); }));
    EXPECT_EQ(bearer(), u"stored-1"_s);
    ASSERT_TRUE(run(provider->refreshBearerTokenClosure()()).finished);
    EXPECT_EQ(bearer(), u"stored-2"_s);
    // An emptied keyring takes the token away.
    ASSERT_TRUE(run(provider->refreshBearerTokenClosure()()).finished);
    EXPECT_EQ(bearer(), std::nullopt);
    EXPECT_EQ(keyring->reads, 3);
}

TEST(ApiTokenProvider, ASlowStartUpReadNeverOverwritesANewerRefresh) {
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->answers = {{u"old"_s, 0.3}, {u"new"_s, 0}};
    ApiTokenProvider provider(std::nullopt, keyring);
    provider.start();
    ASSERT_TRUE(run(provider.refreshBearerTokenClosure()()).finished);
    EXPECT_EQ(provider.bearerToken(), u"new"_s);
    waitUntil([] { return false; }, 0.5); // let the start-up read answer late
    EXPECT_EQ(provider.bearerToken(), u"new"_s);
}

TEST(ApiTokenProvider, ClosuresOutliveTheProviderSafely) {
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->answers = {{u"late"_s, 0.2}};
    auto provider = std::make_unique<ApiTokenProvider>(std::nullopt, keyring);
    const auto bearer = provider->bearerTokenClosure();
    const auto refreshing = provider->refreshBearerTokenClosure();
    provider->start();
    provider.reset();
    EXPECT_EQ(bearer(), std::nullopt);
    EXPECT_TRUE(run(refreshing()).finished);
    waitUntil([] { return false; }, 0.3); // the start-up read ends after its provider
}

TEST(ApiTokenProvider, AReadThatLeavesNoTokenSaysHowToGiveOne) {
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->answers = {{std::nullopt, 0}, {u"stored"_s, 0}, {u"  "_s, 0}};
    ApiTokenProvider provider(std::nullopt, keyring);
    LogCapture logs;
    const QString hint =
        u"No API token: set TAVRINE_API_TOKEN, or store the token in the Secret Service with: "
        u"secret-tool store --label=\"Tavrine API token\" service com.dravolence.tavrine key api-token"_s;
    const QStringList expected[] = {{hint}, {}, {hint}};
    for (const QStringList& lines : expected) {
        logs.clear();
        ASSERT_TRUE(run(provider.refreshBearerTokenClosure()()).finished);
        EXPECT_EQ(logs.messages(u"ModelCall"_s), lines);
    }
}

#include "tavrine/onboarding/RehearsalPlayer.h"

#include "tavrine/core/ManualClock.h"

#include <QJsonObject>
#include <QPointer>
#include <QVariantMap>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace tavrine {
namespace {

// Records what the player tells the page; the test posts the page's messages.
class FakePlayerPage final : public RehearsalPlayerPage {
public:
    void load() override { ++loads; }
    void runScript(const QString& script) override { scripts.append(script); }
    void detach() override { ++detaches; }
    void post(const QString& event, const QVariant& value = QVariant()) {
        QVariantMap body{{QStringLiteral("event"), event}};
        if (value.isValid())
            body.insert(QStringLiteral("value"), value);
        emit message(body);
    }

    int loads = 0;
    int detaches = 0;
    QStringList scripts;
};

const RehearsalClipIdentifiers ids{QStringLiteral("Detour_0001"), QStringLiteral("Tutorial-02")};

class RehearsalPlayerTest : public ::testing::Test {
protected:
    RehearsalPlayerTest() {
        auto owned = std::make_unique<FakePlayerPage>();
        page = owned.get();
        player = std::make_unique<RehearsalPlayer>(std::move(owned), clock, ids);
    }
    void ready() { page->post(QStringLiteral("ready"), 0); }

    ManualClock clock;
    QPointer<FakePlayerPage> page;
    std::unique_ptr<RehearsalPlayer> player;
};

TEST_F(RehearsalPlayerTest, CallsBeforeReadyWaitAndEveryReadyReplaysTheWantedClip) {
    EXPECT_EQ(page->loads, 1);
    player->setCurrent(RehearsalVideo::Detour, false);
    EXPECT_TRUE(page->scripts.isEmpty());
    ready();
    EXPECT_EQ(page->scripts, QStringList{"show('Detour_0001', 40, false, 0)"});
    // The page reloaded.
    ready();
    EXPECT_EQ(page->scripts.size(), 2);
    EXPECT_EQ(page->scripts.last(), "show('Detour_0001', 40, false, 0)");
    player->play();
    player->pause();
    player->setCurrent(RehearsalVideo::Tutorial, true);
    EXPECT_EQ(page->scripts.mid(2), (QStringList{"play(0)", "pause()", "show('Tutorial-02', 20, true, 0)"}));
    EXPECT_EQ(player->current(), RehearsalVideo::Tutorial);
}

TEST_F(RehearsalPlayerTest, WatchdogMarksTheClipUnavailableAfterSixSecondsWithoutPlaying) {
    ready();
    player->setCurrent(RehearsalVideo::Tutorial, true);
    clock.advance(5.9);
    EXPECT_FALSE(player->unavailable());
    clock.advance(0.1);
    EXPECT_TRUE(player->unavailable());
    // Playback that starts late clears it; a new clip starts clean.
    page->post(QStringLiteral("state"), 1);
    EXPECT_FALSE(player->unavailable());
    EXPECT_TRUE(player->isPlaying());
    player->setCurrent(RehearsalVideo::Tutorial, false);
    EXPECT_FALSE(player->isPlaying());
    // The computer's sleep counts towards the six seconds.
    player->setCurrent(RehearsalVideo::Detour, true);
    clock.advance(2);
    clock.sleepSystem(10);
    clock.advance(1);
    EXPECT_TRUE(player->unavailable());
}

TEST_F(RehearsalPlayerTest, WatchdogIsCancelledByPausePlayingOrRearming) {
    ready();
    player->setCurrent(RehearsalVideo::Detour, true);
    clock.advance(5);
    player->pause();
    clock.advance(5);
    EXPECT_FALSE(player->unavailable()) << "pause";

    player->play();
    clock.advance(3);
    page->post(QStringLiteral("state"), 1);
    clock.advance(10);
    EXPECT_FALSE(player->unavailable()) << "state 1";

    page->post(QStringLiteral("state"), 2);
    player->play();
    clock.advance(4);
    player->play();
    clock.advance(4);
    EXPECT_FALSE(player->unavailable()) << "the second play re-armed";
    clock.advance(2);
    EXPECT_TRUE(player->unavailable());
    EXPECT_EQ(clock.pendingSleepers(), 0);
}

TEST_F(RehearsalPlayerTest, PlayWithNothingWantedStillTellsThePageAndItsWatchdogDoesNothing) {
    ready();
    player->play();
    EXPECT_EQ(page->scripts, QStringList{"play(0)"});
    clock.advance(7);
    EXPECT_FALSE(player->unavailable());
}

TEST_F(RehearsalPlayerTest, AClipWithoutIdentifierIsUnavailableAtOnce) {
    auto owned = std::make_unique<FakePlayerPage>();
    FakePlayerPage* bare = owned.get();
    RehearsalPlayer unconfigured(std::move(owned), clock, RehearsalClipIdentifiers{});
    unconfigured.setCurrent(RehearsalVideo::Detour, false);
    EXPECT_TRUE(unconfigured.unavailable()) << "without waiting for a page that may never get ready";
    bare->post(QStringLiteral("ready"), 0);
    EXPECT_TRUE(unconfigured.unavailable());
    unconfigured.setCurrent(RehearsalVideo::Tutorial, true);
    EXPECT_TRUE(unconfigured.unavailable());
    EXPECT_TRUE(bare->scripts.isEmpty());
}

TEST_F(RehearsalPlayerTest, MalformedMessagesReachNothing) {
    int events = 0;
    player->setOnEvent([&](const QString&, std::optional<qint64>) { ++events; });
    const QVariant bodies[] = {
        QVariantList{QStringLiteral("ready")},
        QVariantMap{{"value", 0}},
        QVariantMap{{"event", 1}},
        QVariantMap{{"event", QVariant()}},
        QStringLiteral("ready"),
        QVariant(),
    };
    for (const QVariant& body : bodies)
        emit page->message(body);
    EXPECT_EQ(events, 0);
    EXPECT_FALSE(player->isReady());
    // A JSON object from the bridge counts like a map.
    emit page->message(QJsonObject{{"event", "ready"}, {"value", 0}});
    EXPECT_EQ(events, 1);
    EXPECT_TRUE(player->isReady());
}

TEST_F(RehearsalPlayerTest, OnlyFiniteWholeNumbersAreValues) {
    std::vector<std::optional<qint64>> seen;
    player->setOnEvent([&](const QString&, std::optional<qint64> value) { seen.push_back(value); });
    const QVariant values[] = {QStringLiteral("1"), 1.5, std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(), true, QVariant()};
    for (const QVariant& value : values) {
        page->post(QStringLiteral("state"), 1);
        ASSERT_TRUE(player->isPlaying());
        QVariantMap body{{"event", "state"}};
        if (value.isValid())
            body.insert("value", value);
        emit page->message(body);
        EXPECT_FALSE(player->isPlaying()) << value.toString().toStdString();
    }
    page->post(QStringLiteral("state"), 1.0);
    EXPECT_TRUE(player->isPlaying()) << "1.0 is a whole number";
    ASSERT_EQ(seen.size(), 2 * std::size(values) + 1);
    for (std::size_t i = 1; i < 2 * std::size(values); i += 2)
        EXPECT_FALSE(seen[i]) << i;
    EXPECT_EQ(seen.back(), 1);
}

TEST_F(RehearsalPlayerTest, ErrorsAndCrashesShowThePosterAndOtherStatesOnlyStopPlaying) {
    ready();
    player->setCurrent(RehearsalVideo::Detour, false);
    page->post(QStringLiteral("state"), 5);
    page->post(QStringLiteral("other"), 3);
    EXPECT_FALSE(player->unavailable());
    page->post(QStringLiteral("error"), 150);
    EXPECT_TRUE(player->unavailable());
    player->setCurrent(RehearsalVideo::Detour, false);
    EXPECT_FALSE(player->unavailable()) << "a new selection clears it, even of the same clip";
    emit page->crashed();
    EXPECT_TRUE(player->unavailable());
}

TEST_F(RehearsalPlayerTest, NothingActsAfterTeardown) {
    ready();
    player->setCurrent(RehearsalVideo::Detour, true);
    int events = 0;
    player->setOnEvent([&](const QString&, std::optional<qint64>) { ++events; });
    player->teardown();
    EXPECT_EQ(page->detaches, 1);
    EXPECT_FALSE(player->wanted());
    const qsizetype sent = page->scripts.size();
    page->post(QStringLiteral("ready"), 0);
    page->post(QStringLiteral("error"), 2);
    emit page->crashed();
    player->play();
    player->setCurrent(RehearsalVideo::Tutorial, true);
    clock.advance(10);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(page->scripts.size(), sent);
    EXPECT_FALSE(player->unavailable());
    EXPECT_TRUE(player->isReady()) << "teardown keeps what was seen";
    EXPECT_EQ(player->current(), RehearsalVideo::Detour);
    player->teardown();
    EXPECT_EQ(page->detaches, 1);
}

TEST_F(RehearsalPlayerTest, ReleasingThePlayerTearsDownAndItsWatchdogOutlivesNothing) {
    player->setCurrent(RehearsalVideo::Detour, true);
    player.reset();
    EXPECT_FALSE(page) << "the player owns its page";
    clock.advance(10);
    EXPECT_EQ(clock.pendingSleepers(), 0);
}

} // namespace
} // namespace tavrine

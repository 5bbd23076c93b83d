#include "tavrine/ui/FocusWindowOpening.h"
#include "tavrine/ui/WindowRaising.h"

#include <QWindow>
#include <deque>
#include <gtest/gtest.h>

using namespace tavrine::ui;

namespace {

// A scheduler that runs nothing until the test says so.
struct ManualScheduler {
    std::deque<std::pair<int, std::function<void()>>> queue;
    OpenRetryChain::Schedule schedule() {
        return [this](int delay, std::function<void()> work) { queue.emplace_back(delay, std::move(work)); };
    }
    bool runOne() {
        if (queue.empty())
            return false;
        auto work = std::move(queue.front().second);
        queue.pop_front();
        work();
        return true;
    }
};

struct FakeDesktop {
    bool visible = false;
    bool tray = true;
    std::optional<QRect> icon;
    int atIcon = 0;
    int atFallback = 0;
    int activations = 0;

    FocusWindowOpening::Desktop desktop() {
        return {[this] { return visible; },
                [this] { return tray; },
                [this] { return icon; },
                [this](const QRect&) { ++atIcon, visible = true; },
                [this] { ++atFallback, visible = true; },
                [this] { ++activations; }};
    }
};

} // namespace

namespace {

class FocusWindowOpeningTest : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    FakeDesktop desk;
    FocusWindowOpening opening{desk.desktop(), scheduler.schedule()};
};

} // namespace

TEST_F(FocusWindowOpeningTest, AVisibleWindowOrADesktopWithoutATrayIsServedAtOnce) {
    desk.visible = true;
    EXPECT_EQ(opening.open(), FocusWindowOpening::Result::Activated);
    EXPECT_EQ(desk.activations, 1);
    EXPECT_EQ(desk.atIcon + desk.atFallback, 0);

    desk.visible = false;
    desk.tray = false;
    EXPECT_EQ(opening.open(), FocusWindowOpening::Result::OpenedAtFallback);
    EXPECT_TRUE(scheduler.queue.empty());
    EXPECT_EQ(desk.activations, 2);
}

TEST_F(FocusWindowOpeningTest, RepeatedRequestsShareOneRetryChainUntilTheIconIsPlaced) {
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(opening.open(), FocusWindowOpening::Result::Waiting);
    ASSERT_EQ(scheduler.queue.size(), 1u);
    EXPECT_EQ(scheduler.queue.front().first, 50);
    scheduler.runOne(); // still no icon: the chain goes on
    ASSERT_EQ(scheduler.queue.size(), 1u);
    desk.icon = QRect(1800, 0, 24, 24);
    scheduler.runOne();
    EXPECT_TRUE(scheduler.queue.empty());
    EXPECT_EQ(desk.atIcon, 1);
    EXPECT_EQ(desk.activations, 1);
    EXPECT_EQ(opening.retries().count(), 0);
}

TEST_F(FocusWindowOpeningTest, AfterFortyFailedRetriesTheWindowOpensAtTheFallbackAndCountingRestarts) {
    opening.open();
    int retries = 0;
    while (scheduler.runOne())
        ++retries;
    EXPECT_EQ(retries, 40);
    EXPECT_EQ(desk.atFallback, 1);
    EXPECT_EQ(opening.retries().count(), 0);
    EXPECT_FALSE(opening.retries().pending());

    // Hidden again: the next request waits a whole new chain.
    desk.visible = false;
    EXPECT_EQ(opening.open(), FocusWindowOpening::Result::Waiting);
    EXPECT_EQ(opening.retries().count(), 1);
}

namespace {

struct RaisingHarness {
    std::deque<std::function<void()>> queue;
    QList<QWindow*> windows;
    int searches = 0;
    QList<QWindow*> raised;
    QStringList log;

    WindowRaisingHooks hooks() {
        return {[this] {
                    ++searches;
                    return windows;
                },
                [this](QWindow* w) {
                    raised.append(w);
                    log.append(QStringLiteral("raise ") + w->objectName());
                },
                [this](std::function<void()> work) { queue.push_back(std::move(work)); }};
    }
    void runOne() {
        auto work = std::move(queue.front());
        queue.pop_front();
        work();
    }
    void drain() {
        while (!queue.empty())
            runOne();
    }
};

} // namespace

TEST(WindowRaising, MatchesTheIdentifierOrTheExactTitleFirstMatchWinning) {
    QWindow history, settings, titled, second;
    history.setObjectName("history");
    settings.setObjectName("settings");
    titled.setTitle("History");
    second.setObjectName("history");
    EXPECT_EQ(findWindowByTitle({&settings, &history, &second}, "History"), &history);
    EXPECT_EQ(findWindowByTitle({&titled, &history}, "History"), &titled);
    EXPECT_EQ(findWindowByTitle({&settings}, "Settings"), &settings);
    EXPECT_EQ(findWindowByTitle({&titled}, "history"), nullptr); // the title must match exactly
    EXPECT_EQ(findWindowByTitle({}, "History"), nullptr);
}

TEST(WindowRaising, AWindowThatAppearsLateIsRaisedAndOneThatNeverDoesIsGivenUpAfterNineSearches) {
    QWindow history;
    history.setObjectName("history");
    {
        RaisingHarness h;
        raiseWindow("History", 8, h.hooks());
        for (int turn = 0; turn < 4; ++turn)
            h.runOne();
        h.windows.append(&history);
        h.drain();
        EXPECT_EQ(h.raised, QList<QWindow*>{&history});
        EXPECT_EQ(h.searches, 6);
    }
    {
        RaisingHarness h;
        raiseWindow("History", 8, h.hooks());
        h.drain();
        EXPECT_EQ(h.searches, 9);
        EXPECT_TRUE(h.raised.isEmpty());
    }
}

TEST(WindowRaising, ShowOrOpenHidesTheMainWindowBeforeReturningAndNeverShowsIt) {
    QWindow history;
    history.setObjectName("history");
    for (bool focusVisible : {true, false}) {
        RaisingHarness h;
        bool visible = focusVisible;
        int installs = 0;
        ShowOrOpenHooks hooks{[&] { ++installs; },
                              [&] {
                                  if (visible)
                                      h.log.append("hide focus");
                                  visible = false;
                              },
                              [&] { h.log.append("activate app"); },
                              h.hooks()};
        showOrOpenWindow("History", [&] {
            h.log.append("open");
            h.windows.append(&history);
        }, hooks);
        EXPECT_EQ(installs, 1);
        EXPECT_FALSE(visible);
        EXPECT_EQ(h.log, focusVisible ? QStringList{"hide focus"} : QStringList{});
        h.drain();
        QStringList expected{"open", "activate app", "raise history"};
        if (focusVisible)
            expected.prepend("hide focus");
        EXPECT_EQ(h.log, expected);
        EXPECT_FALSE(visible);
    }
    EXPECT_EQ(adaptiveButtonStyle(true), AdaptiveButtonStyle::BorderedProminent);
    EXPECT_EQ(adaptiveButtonStyle(false), AdaptiveButtonStyle::Bordered);
}

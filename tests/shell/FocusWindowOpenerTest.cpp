#include "support/QmlTestSupport.h"
#include "tavrine/shell/FocusWindowOpener.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::shell;

namespace {

struct OpenerHarness {
    QQmlEngine engine;
    std::unique_ptr<WindowSet> windows;
    std::unique_ptr<FocusWindowOpener> opener;
    std::deque<std::function<void()>> retries;
    bool trayAvailable = true;
    std::optional<QRect> icon;

    OpenerHarness() {
        ui::setUpQmlEngine(engine);
        windows = std::make_unique<WindowSet>(engine, QVariantMap{});
        opener = std::make_unique<FocusWindowOpener>(*windows, nullptr, [this](int, std::function<void()> work) {
            retries.push_back(std::move(work));
        });
        opener->setTray({[this] { return trayAvailable; }, [this] { return icon; }});
    }
    ~OpenerHarness() {
        opener.reset();
        windows.reset();
    }
    QQuickWindow* focus() const { return windows->existingWindow(QStringLiteral("focus")); }
    void runRetry() {
        auto work = std::move(retries.front());
        retries.pop_front();
        work();
    }
};

QRect available() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

TEST(FocusWindowOpener, OpensUnderThePlacedTrayIconOrAtTheFallbackCorner) {
    {
        OpenerHarness h;
        h.icon = QRect(available().right() - 60, available().top(), 22, 22);
        h.opener->open();
        ASSERT_TRUE(h.focus() && h.focus()->isVisible());
        EXPECT_EQ(h.focus()->y(), available().top() + 22 + 4);
        EXPECT_EQ(h.focus()->x(), available().right() + 1 - h.focus()->width() - 8);
    }
    {
        OpenerHarness h;
        h.trayAvailable = false;
        h.opener->open();
        ASSERT_TRUE(h.focus() && h.focus()->isVisible());
        EXPECT_EQ(h.focus()->position(),
                  QPoint(available().right() + 1 - h.focus()->width() - 8, available().top() + 8));
        EXPECT_TRUE(h.retries.empty());
    }
}

TEST(FocusWindowOpener, WaitsForTheTrayHostAndFallsBackWhenItNeverPlacesTheIcon) {
    OpenerHarness h;
    int opened = 0;
    QObject::connect(h.opener.get(), &FocusWindowOpener::opened, [&] { ++opened; });
    h.opener->open();
    h.opener->open();
    EXPECT_EQ(h.retries.size(), 1u);
    EXPECT_FALSE(h.focus() && h.focus()->isVisible());
    while (!h.retries.empty())
        h.runRetry();
    ASSERT_TRUE(h.focus()->isVisible());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(h.opener->opening().retries().count(), 0);
}

TEST(FocusWindowOpener, AboveABottomTrayTheWindowGrowsUpwards) {
    OpenerHarness h;
    h.icon = QRect(available().right() - 60, available().bottom() - 21, 22, 22);
    h.opener->open();
    QQuickWindow* window = h.focus();
    ASSERT_TRUE(window->isVisible());
    const int bottom = window->y() + window->height();
    EXPECT_EQ(bottom, h.icon->top() - 4);
    const int height = window->height();
    window->setHeight(height + 40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->height() == height + 40 && window->y() + window->height() == bottom; }));
    window->setHeight(height - 30);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->height() == height - 30 && window->y() + window->height() == bottom; }))
        << window->y() << " + " << window->height();
}

TEST(FocusWindowOpener, ClosingNeverOpensAndTheClickToggles) {
    OpenerHarness h;
    h.trayAvailable = false;
    h.opener->closeFocusWindow();
    EXPECT_FALSE(h.focus() && h.focus()->isVisible());
    h.opener->toggle();
    EXPECT_TRUE(h.focus()->isVisible());
    h.opener->toggle();
    EXPECT_FALSE(h.focus()->isVisible());
    h.opener->closeFocusWindow();
    EXPECT_FALSE(h.focus()->isVisible());
}

TEST(FocusWindowOpener, ShowOrOpenHidesTheMainWindowAndBringsTheOtherForward) {
    OpenerHarness h;
    h.trayAvailable = false;
    h.opener->open();
    h.opener->showOrOpenWindow(QStringLiteral("History"));
    EXPECT_FALSE(h.focus()->isVisible());
    EXPECT_TRUE(h.opener->installed());
    QQuickWindow* history = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        history = h.windows->existingWindow(QStringLiteral("history"));
        return history && history->isVisible();
    }));
    EXPECT_FALSE(h.focus()->isVisible());
}

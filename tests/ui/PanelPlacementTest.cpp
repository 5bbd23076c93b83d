#include "tavrine/ui/PanelPlacement.h"

#include <gtest/gtest.h>

using namespace tavrine::ui;

namespace {
const QRect screen(0, 0, 1920, 1200);
const QSize window(360, 500);
} // namespace

TEST(PanelPlacement, TheMainWindowOpensUnderOrAboveTheTrayIconWithinTheScreen) {
    struct Case {
        QRect icon;
        QPoint topLeft;
        TrayPlacement::Edge kept;
    };
    const Case cases[] = {
        // A top panel: centred under the icon, 4 below it.
        {QRect(1000, 0, 24, 24), QPoint(1012 - 180, 28), TrayPlacement::Edge::Top},
        // Near the right edge the window stops 8 short of it.
        {QRect(1890, 2, 24, 24), QPoint(1920 - 360 - 8, 30), TrayPlacement::Edge::Top},
        // Near the left edge likewise.
        {QRect(0, 0, 24, 24), QPoint(8, 28), TrayPlacement::Edge::Top},
        // A bottom panel: above the icon, its bottom edge kept.
        {QRect(1800, 1176, 24, 24), QPoint(1552, 1176 - 4 - 500), TrayPlacement::Edge::Bottom},
    };
    for (const Case& c : cases) {
        const TrayPlacement placement = placeNearTrayIcon(c.icon, window, screen);
        EXPECT_EQ(placement.topLeft, c.topLeft) << c.icon.x() << "," << c.icon.y();
        EXPECT_EQ(placement.keptEdge, c.kept);
    }
    // A window wider than the screen keeps its left edge on it.
    EXPECT_EQ(placeNearTrayIcon(QRect(1000, 0, 24, 24), QSize(2000, 300), screen).topLeft.x(), 8);
    const TrayPlacement fallback = fallbackPlacement(window, QRect(0, 30, 1920, 1170));
    EXPECT_EQ(fallback.topLeft, QPoint(1920 - 360 - 8, 38));
}

TEST(PanelPlacement, TheKeptEdgeStaysWhenTheContentChangesHeight) {
    const QRect frame(100, 28, 360, 500);
    EXPECT_EQ(followContentHeight(frame, 620, TrayPlacement::Edge::Top), QRect(100, 28, 360, 620));
    EXPECT_EQ(followContentHeight(frame, 400, TrayPlacement::Edge::Bottom), QRect(100, 128, 360, 400));
    EXPECT_FALSE(followContentHeight(frame, 500.4, TrayPlacement::Edge::Top));
    EXPECT_FALSE(followContentHeight(frame, 499.5, TrayPlacement::Edge::Bottom));
    EXPECT_FALSE(followContentHeight(frame, 0, TrayPlacement::Edge::Top));
}

TEST(PanelPlacement, TheNudgeCardSitsTopRightWithItsCloseButtonOverhanging) {
    // An implausible fitting size takes the standard card.
    NudgeCardLayout layout = layoutNudgeCard(QSizeF(90, 300), screen);
    EXPECT_EQ(layout.card, QRect(1920 - 496 - 24, 24, 496, 212));
    EXPECT_EQ(layout.closeButton, QRect(layout.card.x() - 6, 18, 24, 24));
    EXPECT_EQ(layoutNudgeCard(QSizeF(480, 60), screen).card.size(), QSize(496, 212));

    // Tall cards stop at 320, and at the screen's height less 48.
    EXPECT_EQ(layoutNudgeCard(QSizeF(480, 400), screen).card.height(), 320);
    EXPECT_LE(layoutNudgeCard(QSizeF(480, 300), QRect(0, 0, 800, 300)).card.height(), 252);
    // The available area's own origin counts (a panel on top, a second screen).
    layout = layoutNudgeCard(QSizeF(480, 200), QRect(1920, 32, 1280, 1024));
    EXPECT_EQ(layout.card, QRect(1920 + 1280 - 480 - 24, 32 + 24, 480, 200));
}

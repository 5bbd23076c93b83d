#include "tavrine/nudge/GlowBlobs.h"
#include "tavrine/nudge/NotchGeometry.h"
#include "tavrine/nudge/NudgeMotion.h"

#include <gtest/gtest.h>

using namespace tavrine::nudge;

TEST(GlowBlobs, TheInnerLayerAppearsAboveOnePercent) {
    const auto quiet = glowBlobs(440, 260, 0, 0.005);
    EXPECT_EQ(quiet.base.size(), 3);
    EXPECT_TRUE(quiet.inner.isEmpty());
    // At rest the blobs reach 30 % of the height (t = 0: only the vertical sway of blob i).
    EXPECT_NEAR(glowBlobs(440, 260, 0, 0).base[0].height, 0.3 * 260, 1e-9);
    EXPECT_NEAR(quiet.base[0].radius, 440.0 / 3 * 1.18, 1e-9);

    const auto loud = glowBlobs(440, 260, 0, 0.5);
    EXPECT_EQ(loud.innerOpacity, 1.0);
    ASSERT_EQ(loud.inner.size(), 3);
    // Drawn from the outer blobs towards the centre one.
    EXPECT_EQ(loud.inner[0].color, 0);
    EXPECT_EQ(loud.inner[1].color, 2);
    EXPECT_EQ(loud.inner[2].color, 1);
    EXPECT_NEAR(loud.inner[2].radius, 0.55 * 440.0 / 3 * 1.18, 1e-9);
    EXPECT_GT(loud.base[1].height, quiet.base[1].height);

    EXPECT_NEAR(glowBlobs(440, 260, 0, 0.2).innerOpacity, 0.6, 1e-9);
    // Not-a-number and out-of-range levels are clamped; an empty canvas draws nothing.
    EXPECT_TRUE(glowBlobs(440, 260, 0, std::nan("")).inner.isEmpty());
    EXPECT_EQ(glowBlobs(440, 260, 0, 7).innerOpacity, 1.0);
    EXPECT_TRUE(glowBlobs(0, 260, 0, 0.5).base.isEmpty());
}

TEST(NotchSize, NeedsAnInsetAndBothSideAreasLeavingRoom) {
    const QRectF frame(0, 0, 1512, 982);
    const QRectF left(0, 0, 656, 32), right(856, 0, 656, 32);
    const struct {
        ScreenGeometry screen;
        std::optional<QSizeF> size;
    } cases[] = {
        {{frame, 32, left, right}, QSizeF(200, 32)},
        {{frame, 0, left, right}, std::nullopt},
        {{frame, 32, left, std::nullopt}, std::nullopt},
        {{frame, 32, std::nullopt, right}, std::nullopt},
        {{frame, 32, QRectF(0, 0, 756, 32), QRectF(756, 0, 756, 32)}, std::nullopt},
        {{frame, 32, QRectF(0, 0, 900, 32), QRectF(756, 0, 756, 32)}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(notchSize(c.screen), c.size);
    EXPECT_EQ(closedCapSize(QSizeF(200, 32)), QSizeF(212, 32));
    EXPECT_EQ(closeRowHeight(QSizeF(200, 32)), 32);
    EXPECT_EQ(closeRowHeight(QSizeF(200, 24)), 28);
}

TEST(NotchShape, RadiiAreClampedSoCornersNeverCross) {
    EXPECT_EQ(clampedNotchRadii(40, 20, 10, 26), (NotchRadii{10, 10}));
    EXPECT_EQ(clampedNotchRadii(500, 300, 10, 26), (NotchRadii{10, 26}));
    const QPainterPath path = notchShapePath(QRectF(0, 0, 500, 300), 10, 26);
    EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 500, 300));
    EXPECT_TRUE(path.contains(QPointF(250, 150)));
    EXPECT_FALSE(path.contains(QPointF(3, 150))); // beside the body, under the ear
    EXPECT_FALSE(path.contains(QPointF(11, 299))); // cut by the rounded corner
}

TEST(NotchPanel, CentredAtTheTopWithAFallbackSize) {
    const QRectF screen(0, 0, 800, 600);
    EXPECT_EQ(notchPanelRect(screen, QSizeF(508, 231)), QRect(146, 0, 508, 231));
    EXPECT_EQ(notchPanelRect(screen, QSizeF(99, 300)).size(), QSize(508, 240));
    EXPECT_EQ(notchPanelRect(screen, QSizeF(600, 79)).size(), QSize(508, 240));
    EXPECT_EQ(notchPanelRect(screen, QSizeF(0, 0)).size(), QSize(508, 240));
    EXPECT_EQ(notchPanelRect(QRectF(0, 0, 101, 600), QSizeF(100, 100)).x(), 1);   // 0.5 → 1
    EXPECT_EQ(notchPanelRect(QRectF(-1, 0, 101, 600), QSizeF(100, 100)).x(), -1); // −0.5 → −1
    EXPECT_EQ(notchPanelRect(QRectF(1000, 50, 800, 600), QSizeF(508, 231)).topLeft(), QPoint(1146, 50));
}

TEST(NudgeMotion, SpringsSettleAtOneAndCurvesKeepTheirEnds) {
    for (const auto& spring : {kNotchOpenSpring, kNotchCloseSpring, kReasonChangeSpring, SpringMotion{0.3, 1.0},
                               SpringMotion{0.3, 1.5}}) {
        EXPECT_DOUBLE_EQ(spring.valueAt(0), 0);
        EXPECT_NEAR(spring.valueAt(spring.settlingTime()), 1, 0.0011);
        EXPECT_NEAR(spring.valueAt(20), 1, 1e-6);
    }
    EXPECT_NEAR(kNotchOpenSpring.stiffness(), std::pow(2 * M_PI / 0.46, 2), 1e-9);
    EXPECT_NEAR(kNotchOpenSpring.damping(), 4 * M_PI * 0.74 / 0.46, 1e-9);
    // The open spring overshoots a little; the close spring hardly at all.
    double peak = 0;
    for (double t = 0; t < 1; t += 0.005)
        peak = std::max(peak, kNotchOpenSpring.valueAt(t));
    EXPECT_GT(peak, 1.0);
    EXPECT_LT(peak, 1.1);

    EXPECT_NEAR(kEaseInOut.valueAt(0.5), 0.5, 1e-9);
    EXPECT_GT(kEaseOut.valueAt(0.5), 0.5);
    EXPECT_LT(kEaseIn.valueAt(0.5), 0.5);
    EXPECT_DOUBLE_EQ(kEaseIn.valueAt(1), 1);
}

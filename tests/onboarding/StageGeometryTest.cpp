#include "tavrine/onboarding/StageGeometry.h"

#include <gtest/gtest.h>

using namespace tavrine::onboarding;
using namespace tavrine::onboarding::stagegeometry;
using Beat = OnboardingRehearsal::Beat;

TEST(StageGeometry, TheTwoWindowsFormOneCentredGroup) {
    struct Case {
        QRect screen;
        QRect available;
        QRect design;
        QRect video;
        QRect dim;
    };
    const Case cases[] = {
        // 1030 × 616 span, top inset 64.5 rounded away from zero.
        {{0, 0, 1440, 875}, {0, 0, 1440, 875}, {205, 65, 820, 540}, {335, 121, 900, 560}, {0, 0, 1440, 875}},
        // A top panel of 25 px and a bottom one of 40 px stay uncovered.
        {{0, 0, 1440, 940}, {0, 25, 1440, 875}, {205, 90, 820, 540}, {335, 146, 900, 560}, {0, 25, 1440, 875}},
        // Small: 680 × 350 and 720 × 370, the computed inset 22 raised to 24.
        {{0, 0, 900, 600}, {0, 0, 900, 600}, {25, 24, 680, 350}, {155, 80, 720, 370}, {0, 0, 900, 600}},
        // A second screen to the right.
        {{1440, 0, 900, 600}, {1440, 0, 900, 600}, {1465, 24, 680, 350}, {1595, 80, 720, 370}, {1440, 0, 900, 600}},
    };
    for (const Case& c : cases) {
        const Layout l = layout(c.screen, c.available);
        EXPECT_EQ(l.design, c.design) << c.available.width() << "x" << c.available.height();
        EXPECT_EQ(l.video, c.video);
        EXPECT_EQ(l.dim, c.dim);
    }
}

TEST(StageGeometry, TheCoachHangsUnderItsAnchorInsideTheMargins) {
    const QRect v(0, 0, 1440, 875);
    const QSizeF coach(360, 120);
    // Centred 14 px under the anchor.
    EXPECT_EQ(coachFrame(QRectF(205, 65, 820, 540), coach, v), QRect(435, 619, 360, 120));
    // Left margin.
    EXPECT_EQ(coachFrame(QRectF(0, 10, 100, 50), coach, v).x(), 12);
    // Right margin.
    EXPECT_EQ(coachFrame(QRectF(1400, 10, 40, 50), coach, v).x(), 1440 - 360 - 12);
    // Wider than the room: the right bound wins.
    EXPECT_EQ(coachFrame(QRectF(0, 10, 100, 50), QSizeF(1430, 100), v).x(), 1440 - 1430 - 12);
    // Bottom margin; no top bound.
    EXPECT_EQ(coachFrame(QRectF(205, 700, 820, 100), coach, v).y(), 875 - 12 - 120);
    EXPECT_EQ(coachFrame(QRectF(205, 0, 820, 100), QSizeF(360, 900), v).y(), 875 - 12 - 900);
    // Halves round away from zero.
    EXPECT_EQ(coachFrame(QRectF(100.5, 10, 300, 50.5), QSizeF(100, 100), v).topLeft(), QPoint(201, 75));
}

TEST(StageGeometry, TheCoachAnchorFollowsTheBeat) {
    const QRectF design(205, 65, 820, 540);
    const QRectF video(335, 121, 900, 560);
    const QRectF card(1060, 8, 360, 140);
    EXPECT_EQ(coachAnchor(Beat::Working, design, video, card), design);
    EXPECT_EQ(coachAnchor(Beat::Returned, design, video, card), design);
    EXPECT_EQ(coachAnchor(Beat::Finished, design, video, card), design);
    EXPECT_EQ(coachAnchor(Beat::Tempted, design, video, card), video);
    EXPECT_EQ(coachAnchor(Beat::Drifting, design, video, card), video);
    EXPECT_EQ(coachAnchor(Beat::Researching, design, video, card), video);
    // Nudged: the floating card, the notch panel's card part, else the video.
    EXPECT_EQ(coachAnchor(Beat::Nudged, design, video, card), card);
    const QRectF notch = notchCardFrame(QRectF(500, 0, 440, 128));
    EXPECT_EQ(notch, QRectF(524, 0, 392, 100));
    EXPECT_EQ(coachFrame(coachAnchor(Beat::Nudged, design, video, notch), QSizeF(300, 100), QRect(0, 0, 1440, 875)),
              QRect(570, 114, 300, 100));
    EXPECT_EQ(coachAnchor(Beat::Nudged, design, video, std::nullopt), video);
}

TEST(StageGeometry, ThePointerStandsByTheTrayIcon) {
    const QRect s(0, 0, 1440, 900);
    const QRect v(0, 24, 1440, 876);
    // A top panel: under the icon, pointing up.
    PointerPlacement top = pointer(QRectF(1300, 0, 24, 24), s, v);
    EXPECT_TRUE(top.visible);
    EXPECT_FALSE(top.pointsDown);
    EXPECT_EQ(top.edge, TrayEdge::Top);
    EXPECT_EQ(top.frame, QRect(1217, 26, 190, 70));
    // A bottom panel: above the icon, pointing down.
    PointerPlacement bottom = pointer(QRectF(1300, 876, 24, 24), s, QRect(0, 0, 1440, 876));
    EXPECT_TRUE(bottom.pointsDown);
    EXPECT_EQ(bottom.edge, TrayEdge::Bottom);
    EXPECT_EQ(bottom.frame, QRect(1217, 804, 190, 70));
    EXPECT_EQ(top.arrowOffset, 0);
    // By the screen's sides the panel stays inside and the arrow goes on to the icon's middle, within the panel.
    struct Side {
        QRectF icon;
        int x;
        double arrowOffset;
    };
    for (const Side& side : {Side{QRectF(0, 0, 24, 24), 6, 12 - 101}, Side{QRectF(1412, 0, 24, 24), 1440 - 196, 85},
                             Side{QRectF(1436, 0, 4, 24), 1440 - 196, 89}, Side{QRectF(0, 0, 4, 24), 6, -89}}) {
        const PointerPlacement placed = pointer(side.icon, s, v);
        EXPECT_EQ(placed.frame.x(), side.x) << side.icon.x();
        EXPECT_DOUBLE_EQ(placed.arrowOffset, side.arrowOffset) << side.icon.x();
    }
    // An icon on another screen: hidden, tried again later.
    EXPECT_FALSE(pointer(QRectF(1500, 0, 24, 24), s, v).visible);
    EXPECT_FALSE(pointer(QRectF(1300, 950, 24, 24), s, v).visible);
    // No tray, or a tray that does not tell: the top-right corner.
    for (const auto& icon : {std::optional<QRectF>(), std::optional<QRectF>(QRectF(1300, 0, 0, 24))}) {
        const PointerPlacement fallback = pointer(icon, s, v);
        EXPECT_TRUE(fallback.visible);
        EXPECT_TRUE(fallback.fallback);
        EXPECT_FALSE(fallback.pointsDown);
        EXPECT_EQ(fallback.frame, QRect(1440 - 198, 32, 190, 70));
    }
}

TEST(StageGeometry, PanelMasksFollowTheirContentsOutlines) {
    const auto map = [](std::initializer_list<std::pair<const char*, QVariant>> entries) {
        QVariantMap result;
        for (const auto& [key, value] : entries)
            result.insert(QString::fromLatin1(key), value);
        return QVariant(result);
    };
    // No shapes: the whole window, its corners rounded.
    const QRegion card = outlineMask({}, 18, QSize(440, 146));
    EXPECT_EQ(card.boundingRect(), QRect(0, 0, 440, 146));
    for (const QPoint corner : {QPoint(0, 0), QPoint(439, 0), QPoint(0, 145), QPoint(439, 145)})
        EXPECT_FALSE(card.contains(corner)) << corner.x() << "," << corner.y();
    EXPECT_TRUE(card.contains(QPoint(220, 145)));
    EXPECT_TRUE(card.contains(QPoint(0, 73)));
    EXPECT_EQ(outlineMask({}, 0, QSize(10, 10)), QRegion(0, 0, 10, 10));
    EXPECT_TRUE(outlineMask({}, 18, QSize()).isEmpty());

    // A triangle over a capsule: only their own pixels.
    const QVariantList shapes = {
        map({{"points", QVariantList{QPointF(95, 2), QPointF(102, 14), QPointF(88, 14)}}}),
        map({{"rect", QRectF(25, 17, 140, 28)}, {"radius", 14.0}}),
    };
    const QRegion pointer = outlineMask(shapes, 0, QSize(190, 70));
    EXPECT_EQ(pointer.boundingRect(), QRect(QPoint(25, 3), QPoint(164, 44)));
    EXPECT_TRUE(pointer.contains(QPoint(95, 10)));
    EXPECT_FALSE(pointer.contains(QPoint(89, 4)));  // the arrow box's corner
    EXPECT_TRUE(pointer.contains(QPoint(95, 30)));
    EXPECT_FALSE(pointer.contains(QPoint(25, 17))); // the label's corner
    EXPECT_TRUE(pointer.contains(QPoint(25, 31)));
    // A plain rectangle, and entries that make no shape.
    const QVariantList odd = {map({{"rect", QRectF(0, 0, 4, 4)}}), map({{"points", QVariantList{QPointF(1, 1)}}}),
                              QVariant(3)};
    EXPECT_EQ(outlineMask(odd, 9, QSize(20, 20)), QRegion(0, 0, 4, 4));
}

TEST(StageGeometry, TheDimLeavesTheTrayIconUncovered) {
    const QRect dim(0, 0, 1920, 1200);
    const QRegion mask = dimMask(dim, QRectF(1897, 1, 22, 24));
    EXPECT_EQ(mask, QRegion(dim).subtracted(QRect(1895, -1, 26, 28)));
    EXPECT_FALSE(mask.contains(QPoint(1908, 12)));
    // Dim coordinates: a dim below a top panel.
    EXPECT_FALSE(dimMask(QRect(0, 30, 1920, 1170), QRectF(1897, 40, 22, 24)).contains(QPoint(1908, 22)));
    // An icon in a panel the dim leaves out, on another screen, or none: no mask.
    EXPECT_TRUE(dimMask(QRect(0, 30, 1920, 1170), QRectF(1897, 1, 22, 24)).isEmpty());
    EXPECT_TRUE(dimMask(dim, QRectF(2000, 1, 22, 24)).isEmpty());
    EXPECT_TRUE(dimMask(dim, std::nullopt).isEmpty());
}

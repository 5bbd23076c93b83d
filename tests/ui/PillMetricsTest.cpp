#include "tavrine/ui/PillMetrics.h"

#include <gtest/gtest.h>

using tavrine::ui::PillMetrics;

TEST(PillMetrics, SizesFollowTheControlSizeAndAnythingElseIsRegular) {
    struct Case {
        int controlSize;
        PillMetrics::Size expected;
    };
    const Case cases[] = {
        {PillMetrics::Mini, {11, 10, 22}},        {PillMetrics::Small, {12, 12, 28}},
        {PillMetrics::Regular, {13, 16, 34}},     {PillMetrics::Large, {14, 20, 40}},
        {PillMetrics::ExtraLarge, {15, 22, 46}},  {-1, {13, 16, 34}},
        {PillMetrics::ExtraLarge + 1, {13, 16, 34}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PillMetrics::sizeFor(c.controlSize), c.expected) << "control size " << c.controlSize;
}

TEST(PillMetrics, FillAddsSelectedHoverAndPressOnTheSchemeBase) {
    EXPECT_NEAR(PillMetrics::fillOpacity(false, false, false, false), 0.05, 1e-9);
    EXPECT_NEAR(PillMetrics::fillOpacity(true, false, false, false), 0.07, 1e-9);
    EXPECT_NEAR(PillMetrics::fillOpacity(true, true, true, true), 0.24, 1e-9);
    EXPECT_NEAR(PillMetrics::fillOpacity(false, true, false, false), 0.12, 1e-9);
    EXPECT_NEAR(PillMetrics::fillOpacity(false, false, true, false), 0.09, 1e-9);
    EXPECT_NEAR(PillMetrics::fillOpacity(false, false, false, true), 0.11, 1e-9);
}

TEST(PillMetrics, BorderBrightensOnlyWhenSelectedAndShadowFollowsTheScheme) {
    EXPECT_DOUBLE_EQ(PillMetrics::borderTopOpacity(true, true), 0.24);
    EXPECT_DOUBLE_EQ(PillMetrics::borderTopOpacity(false, true), 0.18);
    EXPECT_DOUBLE_EQ(PillMetrics::borderTopOpacity(true, false), 0.16);
    EXPECT_DOUBLE_EQ(PillMetrics::borderTopOpacity(false, false), 0.12);
    EXPECT_DOUBLE_EQ(PillMetrics::borderBottomOpacity(true), 0.06);
    EXPECT_DOUBLE_EQ(PillMetrics::borderBottomOpacity(false), 0.07);
    EXPECT_DOUBLE_EQ(PillMetrics::shadowOpacity(true), 0.25);
    EXPECT_DOUBLE_EQ(PillMetrics::shadowOpacity(false), 0.08);
}

TEST(PillMetrics, DisabledButtonsDimAndNeverShowHover) {
    EXPECT_DOUBLE_EQ(PillMetrics::foregroundOpacity(true), 0.88);
    EXPECT_DOUBLE_EQ(PillMetrics::foregroundOpacity(false), 0.5);
    EXPECT_DOUBLE_EQ(PillMetrics::buttonOpacity(false), 0.55);
    EXPECT_FALSE(PillMetrics::showsHover(true, false));
    EXPECT_TRUE(PillMetrics::showsHover(true, true));
    const QColor darkLabel = PillMetrics::labelColor(true);
    EXPECT_EQ(darkLabel.rgb() & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NEAR(darkLabel.alphaF(), 0.85, 0.005);
}

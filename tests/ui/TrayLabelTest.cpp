#include "tavrine/ui/TrayLabel.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::ui;

namespace {

QString mmss(int seconds) {
    return QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
}

// Pixels of the picture that are not transparent.
int inkedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

} // namespace

TEST(TrayLabel, AccessibilityTextNamesTheTimeAndTheVerdict) {
    using B = MenuBarSessionBackground;
    struct Case {
        TrayLabelState state;
        const char* expected;
    };
    const Case cases[] = {
        {{false, "25:03", B::Relevant}, "Tavrine"},
        {{true, "25:03", B::None}, "Focus time remaining, 25:03"},
        {{true, "25:03", B::Relevant}, "Focus time remaining, 25:03, relevant work"},
        {{true, "00:41", B::Unrelated}, "Focus time remaining, 00:41, unrelated work"},
        {{true, "180:00", B::DriftPending}, "Focus time remaining, 180:00, checking after drift"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(labelAccessibilityText(c.state), QString::fromUtf8(c.expected));
}

TEST(TrayLabel, TheIconShowsWholeMinutesOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"25:03", "25"}, {"05:59", "5"}, {"00:59", "0"}, {"00:00", "0"}, {"180:00", "180"}, {"", "0"}, {"garbage", "0"},
    };
    for (const auto& [remaining, minutes] : cases)
        EXPECT_EQ(trayMinuteText(QString::fromUtf8(remaining)), QString::fromUtf8(minutes)) << remaining;
}

TEST(TrayLabel, PicturesOfIdleTintedAndUntintedStates) {
    TrayIconRenderer renderer;
    const QColor text(Qt::white);
    const QImage idle = renderer.render({}, text);
    ASSERT_EQ(idle.size(), QSize(TrayIconRenderer::iconSize, TrayIconRenderer::iconSize));
    // The icon artwork, drawn in the palette's text colour.
    EXPECT_GT(inkedPixels(idle), 100);
    EXPECT_EQ(idle.pixelColor(32, 32).rgb() & 0xFFFFFF, 0xFFFFFFu);

    const QImage tinted = renderer.render({true, "25:03", MenuBarSessionBackground::Relevant}, text);
    // The pill fills the slot: its rim near the left edge is the tint.
    const QColor rim = tinted.pixelColor(4, 32);
    EXPECT_NEAR(rim.greenF(), 0.91, 0.01);
    EXPECT_NEAR(rim.redF(), 0.75, 0.01);
    // The minutes are dark grey on the pill.
    bool darkText = false;
    for (int x = 0; x < tinted.width() && !darkText; ++x)
        darkText = qGray(tinted.pixel(x, 32)) < 80 && qAlpha(tinted.pixel(x, 32)) == 255;
    EXPECT_TRUE(darkText);

    // Each verdict has its own pale tint; without a verdict there is no tint and no pill.
    EXPECT_NEAR(trayTint(MenuBarSessionBackground::Unrelated)->redF(), 0.97, 0.003);
    EXPECT_NEAR(trayTint(MenuBarSessionBackground::DriftPending)->blueF(), 0.64, 0.003);
    EXPECT_FALSE(trayTint(MenuBarSessionBackground::None));
    const QImage plain = renderer.render({true, "25:03", MenuBarSessionBackground::None}, text);
    EXPECT_EQ(qAlpha(plain.pixel(4, 32)), 0);
    EXPECT_LT(inkedPixels(plain), inkedPixels(tinted));
}

TEST(TrayLabel, TheSameStateIsDrawnOnceAndASessionSetsFewIcons) {
    TrayIconRenderer renderer;
    const QColor text(Qt::black);
    const TrayLabelState state{true, "25:03", MenuBarSessionBackground::Relevant};
    const QImage first = renderer.render(state, text);
    EXPECT_EQ(renderer.render(state, text).cacheKey(), first.cacheKey());
    EXPECT_EQ(renderer.drawings(), 1);

    // Two minutes of a running session, one update a second: the icon changes when a minute turns over.
    TrayIconRenderer session;
    int icons = 0;
    for (int elapsed = 0; elapsed <= 120; ++elapsed)
        icons += session.imageIfChanged({true, mmss(25 * 60 - elapsed), MenuBarSessionBackground::Relevant}, text) ? 1 : 0;
    EXPECT_LE(icons, 3);
    EXPECT_GE(icons, 2);
    // A new verdict is a new picture; going back to the same one is too, and never a needless one.
    EXPECT_TRUE(session.imageIfChanged({true, "23:00", MenuBarSessionBackground::Unrelated}, text));
    EXPECT_FALSE(session.imageIfChanged({true, "23:00", MenuBarSessionBackground::Unrelated}, text));
}

#include "tavrine/capture/ContentFrame.h"

#include "Printing.h"

#include <gtest/gtest.h>

using namespace tavrine::capture;

namespace {
const QRectF window(100, 50, 1000, 800);
} // namespace

TEST(CaptureImageSize, FollowsTheScaleUpToTheWidestImageAndKeepsTheAspect) {
    EXPECT_EQ(captureImageSize(QRectF(0, 0, 600, 400), 2.0), QSize(1200, 800));
    EXPECT_EQ(captureImageSize(QRectF(0, 0, 1000, 700), 2.0), QSize(1800, 1260));
    EXPECT_EQ(captureImageSize(QRectF(0, 0, 0, 500), 2.0), QSize(1, 500));
    // The screen's own scale on X11: a point is a pixel.
    EXPECT_EQ(captureImageSize(QRectF(0, 0, 1800, 1100), 1.0), QSize(1800, 1100));
    EXPECT_EQ(captureImageSize(QRectF(0, 0, 2400, 1200), 1.0), QSize(1800, 900));
    EXPECT_EQ(captureImageSize(QRectF(0, 0, 1000, 0.2), 1.0), QSize(1000, 1));
}

TEST(EstimateContentFrame, FocusThenLargeThenMiddleRule) {
    const QRectF web(100, 170, 1000, 680);   // 85 %
    const QRectF scroll(100, 50, 1000, 760); // 95 %
    const QRectF small(100, 50, 1000, 120);  // 15 %
    const QRectF left(100, 50, 500, 400);    // 25 %
    const QRectF right(600, 50, 500, 400);   // 25 %, equal area
    const QRectF focusLow(300, 700, 100, 20);
    struct Case {
        QList<QRectF> web, panes;
        std::optional<QRectF> focus;
        QRectF expected;
        const char* why;
    };
    const Case cases[] = {
        {{}, {}, QRectF(200, 100, 50, 20), window, "no candidates: the window"},
        {{web}, {scroll}, focusLow, scroll, "a larger pane holding the focus wins, then the large rule takes it"},
        {{web}, {QRectF(100, 50, 1000, 100)}, focusLow, web, "the web document holds the focus"},
        {{small, web}, {}, QRectF(300, 60, 100, 20), web, "focus in only 15 %: the large rule decides"},
        {{small, web}, {}, QRectF(2000, 2000, 10, 10), web, "a focus outside the window takes no part"},
        {{QRectF(100, 90, 1000, 760)}, {}, std::nullopt, QRectF(100, 90, 1000, 760), "95 %"},
        {{left}, {right}, std::nullopt, left, "equal areas keep the first"},
        {{right}, {left}, std::nullopt, right, "equal areas keep the first"},
        {{QRectF(5000, 0, 10, 10), QRectF(-900, 50, 1600, 800)},
         {},
         std::nullopt,
         QRectF(100, 50, 600, 800),
         "cut to the window first; one outside it is dropped"},
        {{QRectF(100, 50, 100, 100)}, {}, std::nullopt, window, "shares under 20 % count nowhere"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(estimateContentFrame(c.web, c.panes, c.focus, window), c.expected) << c.why;
}

TEST(AcceptContentFrame, RefusesNarrowShortOrSmallShares) {
    EXPECT_EQ(acceptContentFrame(QRectF(100, 50, 180, 600), window), window) << "narrower than 200";
    EXPECT_EQ(acceptContentFrame(QRectF(100, 50, 1000, 149), window), window) << "shorter than 150";
    EXPECT_EQ(acceptContentFrame(QRectF(100, 50, 500, 400), window), window) << "25 % of the window";
    const QRectF thirty(100, 50, 1000, 240);
    EXPECT_EQ(acceptContentFrame(thirty, window), thirty) << "exactly 30 %";
    EXPECT_EQ(acceptContentFrame(thirty, QRectF(0, 0, 0, 800)), QRectF(0, 0, 0, 800)) << "an empty window";
}

TEST(PixelCropRect, MapsPointsToPixelsFromTheWindowsTopLeft) {
    // The whole window is the whole image, whatever the scale.
    EXPECT_EQ(pixelCropRect(window, window, 1800, 1440), QRect(0, 0, 1800, 1440));
    // The lower part of the window at 1.8 pixels per point: rows count from the top.
    EXPECT_EQ(pixelCropRect(QRectF(100, 250, 1000, 600), window, 1800, 1440), QRect(0, 360, 1800, 1080));
    // Fractions round outwards to whole pixels.
    EXPECT_EQ(pixelCropRect(QRectF(100.5, 50.5, 10, 10), window, 1000, 800), QRect(0, 0, 11, 11));
    // Content reaching past the window is cut to it; content outside it means the whole image.
    EXPECT_EQ(pixelCropRect(QRectF(600, 450, 1000, 1000), window, 1000, 800), QRect(500, 400, 500, 400));
    EXPECT_EQ(pixelCropRect(QRectF(5000, 5000, 10, 10), window, 1000, 800), QRect(0, 0, 1000, 800));
    // Without a usable window frame the image's own size stands in for it.
    EXPECT_EQ(pixelCropRect(QRectF(10, 20, 30, 40), QRectF(0, 0, 0, 0), 100, 100), QRect(10, 20, 30, 40));
}

#include "tavrine/ui/CaretBlink.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <gtest/gtest.h>

using tavrine::ui::CaretBlink;

namespace {

// Half blinks until the caret stops, counted; at most `limit`.
int stepsUntilStill(CaretBlink& caret, int limit = 1000) {
    int steps = 0;
    while (caret.blinking() && steps < limit) {
        caret.step();
        ++steps;
    }
    return steps;
}

} // namespace

// It blinks for the timeout after the last key, then stands still and shown; a key blinks it again for a whole
// timeout, counted from that key.
TEST(CaretBlink, StopsShownAfterTheTimeoutWithoutKeysAndWakesOnTheNextOne) {
    ASSERT_GE(CaretBlink::halfPeriodMs(), 1) << "the desktop blinks carets";
    const int half = CaretBlink::halfPeriodMs();
    const int stepsPerTimeout = (CaretBlink::timeoutMs + half - 1) / half;
    CaretBlink caret;
    EXPECT_FALSE(caret.shown()) << "no caret without the focus";
    caret.setFocused(true);
    EXPECT_TRUE(caret.shown());
    EXPECT_TRUE(caret.blinking());
    caret.step();
    EXPECT_FALSE(caret.shown());
    caret.step();
    EXPECT_TRUE(caret.shown());

    // A key half-way: the timeout starts again from it.
    for (int i = 0; i < stepsPerTimeout / 2; ++i)
        caret.step();
    caret.wake();
    EXPECT_TRUE(caret.shown());
    EXPECT_EQ(stepsUntilStill(caret), stepsPerTimeout);
    EXPECT_TRUE(caret.shown()) << "a still caret is drawn";
    caret.step();
    EXPECT_TRUE(caret.shown()) << "a late step changes nothing";

    caret.wake();
    EXPECT_TRUE(caret.blinking());
    EXPECT_EQ(stepsUntilStill(caret), stepsPerTimeout);

    // The focus goes: no caret, nothing running; it comes back: blinking again.
    caret.setFocused(false);
    EXPECT_FALSE(caret.shown());
    EXPECT_FALSE(caret.blinking());
    caret.wake();
    EXPECT_FALSE(caret.shown()) << "a key elsewhere shows no caret here";
    caret.setFocused(true);
    EXPECT_TRUE(caret.blinking());
}

// A desktop that switched blinking off: a steady caret, and no timer to redraw the window.
TEST(CaretBlink, ADesktopWithoutBlinkingGetsASteadyCaret) {
    QStyleHints* hints = QGuiApplication::styleHints();
    const int flash = hints->cursorFlashTime();
    hints->setCursorFlashTime(0);
    CaretBlink caret;
    caret.setFocused(true);
    EXPECT_TRUE(caret.shown());
    EXPECT_FALSE(caret.blinking());
    caret.wake();
    EXPECT_FALSE(caret.blinking());
    hints->setCursorFlashTime(flash);
}

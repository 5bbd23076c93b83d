#include "tavrine/ui/SystemInk.h"
#include "support/DarkScheme.h"
#include "tavrine/ui/PillMetrics.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

using tavrine::ui::PillMetrics;
using tavrine::ui::SystemInk;

// The inks of the system styles read on the window in any palette, even one whose theme left the link and
// placeholder colours at Qt's defaults for a light window.
TEST(SystemInk, EveryStyleReadsOnTheWindowInEitherScheme) {
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        const tavrine::test::DarkScheme scheme(dark);
        const SystemInk ink;
        const QColor window = QGuiApplication::palette().color(QPalette::Window);
        for (const QColor& c : {ink.text(), ink.secondaryText(), ink.link()})
            EXPECT_GE(SystemInk::contrastRatio(c, window), SystemInk::readableRatio) << c.name().toStdString();
        // Secondary stays between text and window: fainter than the text, not a second text colour.
        EXPECT_LT(SystemInk::contrastRatio(ink.secondaryText(), window), SystemInk::contrastRatio(ink.text(), window));
        // A link keeps its hue when it has to be lightened.
        EXPECT_GT(ink.link().blueF(), ink.link().redF());
        // On a tinted fill (a selection, a timeline block) the secondary style reads on that fill.
        const QColor fill = QColor::fromRgbF(0.89f, 0.27f, 0.25f, 0.4f);
        const QColor ground =
            QColor::fromRgbF(0.4f * 0.89f + 0.6f * window.redF(), 0.4f * 0.27f + 0.6f * window.greenF(),
                             0.4f * 0.25f + 0.6f * window.blueF());
        EXPECT_GE(SystemInk::contrastRatio(ink.secondaryOn(fill), ground), SystemInk::readableRatio - 0.01);
        EXPECT_GE(SystemInk::contrastRatio(ink.readableOn(QColor(0xe3, 0x45, 0x40)), window), SystemInk::readableRatio);
        // A light pill drawn in a dark palette (the first-run window) takes a dark label, and the other way round.
        EXPECT_LT(PillMetrics::labelColor(false).lightnessF(), 0.5);
    }
}

TEST(SystemInk, FollowsThePaletteWhenItChanges) {
    SystemInk ink;
    const QColor light = ink.text();
    QSignalSpy changed(&ink, &SystemInk::changed);
    {
        const tavrine::test::DarkScheme scheme;
        QCoreApplication::processEvents();
        EXPECT_GE(changed.count(), 1);
        EXPECT_NE(ink.text(), light);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(ink.text(), light);
}

TEST(SystemInk, ContrastRatiosAreWcags) {
    EXPECT_NEAR(SystemInk::contrastRatio(Qt::black, Qt::white), 21.0, 1e-6);
    EXPECT_NEAR(SystemInk::contrastRatio(Qt::white, Qt::white), 1.0, 1e-6);
    EXPECT_NEAR(SystemInk::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.01);
}

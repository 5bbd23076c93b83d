#include "tavrine/shell/TrayStatusLabel.h"
#include "session/SessionHarness.h"

#include <QSystemTrayIcon>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

TEST(TrayStatusLabel, ShowsTheIconIdleAndTheMinutesOfARunningSession) {
    SessionHarness h;
    int installs = 0;
    int clicks = 0;
    shell::TrayStatusLabel label(*h.session, {[&] { ++installs; }, [&] { ++clicks; }, {}, {}});
    EXPECT_EQ(label.toolTip(), QStringLiteral("Tavrine"));
    EXPECT_FALSE(label.state().showsTime);

    label.show();
    label.show();
    EXPECT_EQ(installs, 1);

    h.start(25);
    h.judge(ActivityRelevance::Relevant);
    h.advance(3);
    EXPECT_TRUE(label.state().showsTime);
    EXPECT_EQ(label.state().background, MenuBarSessionBackground::Relevant);
    EXPECT_TRUE(label.toolTip().startsWith(QStringLiteral("Focus time remaining, 24:5")));
    EXPECT_TRUE(label.toolTip().endsWith(QStringLiteral(", relevant work")));

    // Two minutes of the session replace the picture only as the minutes turn over.
    const int before = label.iconUpdates();
    h.advance(120);
    EXPECT_LE(label.iconUpdates() - before, 3);
    EXPECT_GE(label.iconUpdates() - before, 2);

    // A paused session still shows its time.
    h.session->pause();
    EXPECT_TRUE(label.state().showsTime);
    h.session->stop(false);
    EXPECT_EQ(label.toolTip(), QStringLiteral("Tavrine"));

    // A click, whatever kind, toggles the window; the context click has nothing to open.
    emit label.trayIcon().activated(QSystemTrayIcon::Trigger);
    emit label.trayIcon().activated(QSystemTrayIcon::DoubleClick);
    emit label.trayIcon().activated(QSystemTrayIcon::Context);
    EXPECT_EQ(clicks, 2);
}

TEST(TrayStatusLabel, OnlyAnIconWhollyOnAScreenCountsAsPlaced) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1200), QRect(1920, 0, 1280, 1024)};
    struct Case {
        QRect reported;
        bool placed;
    };
    const Case cases[] = {
        {QRect(1897, 1, 22, 24), true},   {QRect(3170, 0, 22, 24), true}, // on the second screen
        {QRect(0, 0, 22, 24), false},                                     // the unembedded window at the origin
        {QRect(1897, 1, 1, 1), false},                                    // not sized yet
        {QRect(1895, -1, 22, 22), false}, // above the top edge, while the host lays its panel out
        {QRect(3190, 1, 22, 24), false},  // past the right edge of the last screen
        {QRect(1910, 1, 22, 24), false},  // across two screens
    };
    for (const Case& c : cases) {
        const std::optional<QRect> placed = shell::TrayStatusLabel::placedIconGeometry(c.reported, screens);
        EXPECT_EQ(placed.has_value(), c.placed) << c.reported.x() << "," << c.reported.y();
        EXPECT_EQ(placed.value_or(c.reported), c.reported);
    }
}

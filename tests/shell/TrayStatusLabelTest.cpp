#include "session/SessionHarness.h"
#include "tavrine/shell/TrayStatusLabel.h"

#include <QSystemTrayIcon>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;

TEST(TrayStatusLabel, ShowsTheIconIdleAndTheMinutesOfARunningSession) {
    SessionHarness h;
    int installs = 0;
    int clicks = 0;
    shell::TrayStatusLabel label(*h.session, [&] { ++installs; }, [&] { ++clicks; });
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

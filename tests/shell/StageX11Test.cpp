// The rehearsal's stage in the application, on the private desktops: how the window manager stacks its windows,
// the onboarding window unmapped under it, the pointer at trayer's icon (under it, above it with the tray at the
// bottom, in the corner without a tray), real clicks and keys answering it, a compositor coming and going, and the
// way back to onboarding. The
// script runs on the harness's virtual clock, so no beat is waited for; the web player is the real one.
#include "AppHarness.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/onboarding/StageGeometry.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/session/FocusSession.h"
#include "tavrine/shell/NudgePresenter.h"
#include "tavrine/shell/TrayStatusLabel.h"
#include "tavrine/shell/WindowSet.h"
#include "tavrine/ui/Frosted.h"

#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using namespace tavrine::test;
using Beat = OnboardingRehearsal::Beat;

namespace {

// The managed windows from the bottom of the stack to its top, as the window manager tells.
QList<WId> stacking() {
    QList<WId> ids;
    for (const platform::XWindowId id : platform::X11Connection::shared()->clientListStacking())
        ids << id;
    return ids;
}

struct StageApp {
    StageApp()
        : h({QStringLiteral("--onboarding"), QStringLiteral("--fast-rehearsal")}, false) {
        h.app->start();
        onboarding = h.app->windows().existingWindow(QStringLiteral("onboarding"));
    }
    OnboardingFlow& flow() const { return h.app->onboardingFlow(); }
    OnboardingStage& stage() const { return *flow().stage(); }
    void step(double seconds) {
        h.clock.advance(seconds);
        ManualClock::pump();
        QCoreApplication::processEvents();
    }
    // The script ticks on until it enters `beat`.
    bool reach(Beat beat) {
        return waitUntil(
            [&] {
                step(OnboardingRehearsal::tick);
                return flow().rehearsal()->beat() == beat;
            },
            waitLimit);
    }
    // The rehearsal page's "Start focus session", clicked.
    void start() {
        ASSERT_TRUE(onboarding);
        ASSERT_TRUE(waitUntil([&] { return onboarding->isExposed(); }, waitLimit));
        flow().advance();
        flow().advance();
        QQuickItem* button = findItem(onboarding->contentItem(), QStringLiteral("onboardingStartRehearsal"));
        ASSERT_TRUE(button);
        ASSERT_TRUE(waitUntil([&] { return button->isVisible() && button->opacity() == 1.0; }, waitLimit));
        QTest::qWait(400); // the page's push ends
        const QPoint centre =
            onboarding->mapToGlobal(button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
        xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"});
        ASSERT_TRUE(waitUntil([&] { return stage().isPresented(); }, waitLimit));
        ASSERT_TRUE(waitUntil([&] { return stage().designWindow()->isExposed() && stage().coachPanel()->isExposed(); },
                              waitLimit));
        ASSERT_TRUE(waitUntil([&] { return stage().pointerPanel()->isExposed(); }, waitLimit));
    }
    // The stage is gone and the onboarding window is back, active.
    void expectOnboardingBack() {
        EXPECT_TRUE(waitUntil([&] { return !stage().isPresented(); }, waitLimit));
        EXPECT_TRUE(waitUntil([&] { return onboarding->isVisible() && onboarding->isActive(); }, waitLimit));
        EXPECT_TRUE(waitUntil([&] { return serverWindow(onboarding).mapped; }, waitLimit));
        EXPECT_FALSE(flow().rehearsalRunning());
    }
    // The pointer's arrow on the screen, and where it stands.
    QPointF arrowTip() const {
        QQuickWindow* pointer = stage().pointerPanel();
        QQuickItem* arrow = findItem(pointer->contentItem(), QStringLiteral("pointerArrow"));
        if (!arrow)
            return {};
        return QPointF(pointer->position()) + arrow->mapToScene(QPointF(arrow->width() / 2, arrow->height() / 2));
    }

    ShellAppHarness h;
    QQuickWindow* onboarding = nullptr;
};

// The pointer stands by the tray icon, its arrow at the icon, as the X server places it.
void expectPointerAtTheIcon(StageApp& s, bool below) {
    ASSERT_TRUE(waitUntil([&] { return s.h.app->tray().trayIconGeometry().has_value(); }, waitLimit));
    s.step(OnboardingStage::pointerInterval);
    const QRect icon = *s.h.app->tray().trayIconGeometry();
    QQuickWindow* pointer = s.stage().pointerPanel();
    ASSERT_TRUE(waitUntil([&] { return serverWindow(pointer).frame == pointer->geometry(); }, waitLimit))
        << pointer->x() << "," << pointer->y();
    EXPECT_TRUE(serverWindow(pointer).mapped);
    const QPointF arrow = s.arrowTip();
    EXPECT_GE(arrow.x(), icon.x());
    EXPECT_LE(arrow.x(), icon.x() + icon.width());
    if (below) {
        EXPECT_EQ(pointer->y(), icon.y() + icon.height() + 2);
        EXPECT_GT(arrow.y(), icon.y() + icon.height());
    } else {
        EXPECT_EQ(pointer->y() + pointer->height(), icon.y() - 2);
        EXPECT_LT(arrow.y(), icon.y());
    }
    EXPECT_EQ(pointer->contentItem()->childItems().first()->property("pointsDown").toBool(), !below);
    EXPECT_EQ(s.stage().trayEdge(), below ? OnboardingStage::TrayEdge::Top : OnboardingStage::TrayEdge::Bottom);
}

} // namespace

// Dim at the bottom of the stage, its four windows over it, all over the other windows; the onboarding window
// unmapped meanwhile. A click on the video answers the tempted beat, and the coach and the pointer stay over the
// video it brought forward. A compositor that starts and quits while the nudge shows is seen by the dim, the card
// and the frosted windows alike. The nudge's "Get back to work" gives the design window the focus again. Escape
// then ends the rehearsal and the onboarding window comes back, active.
TEST(StageX11, StacksOverTheDesktopAndAnswersARealClickAndEscape) {
    StageApp s;
    QQuickWindow other;
    other.setTitle(QStringLiteral("Elsewhere"));
    other.setGeometry(100, 100, 400, 300);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    s.start();
    OnboardingStage& stage = s.stage();

    EXPECT_TRUE(waitUntil([&] { return !s.onboarding->isVisible() && !serverWindow(s.onboarding).mapped; }, waitLimit));
    QQuickWindow* dim = stage.dimWindow();
    const auto expectStacked = [&](const QList<QQuickWindow*>& below, const QList<QQuickWindow*>& above) {
        const QList<WId> order = stacking();
        for (QQuickWindow* lower : below) {
            for (QQuickWindow* upper : above) {
                const qsizetype low = order.indexOf(lower->winId());
                const qsizetype high = order.indexOf(upper->winId());
                EXPECT_TRUE(low >= 0 && high > low) << qPrintable(lower->objectName()) << " (" << low << ") under "
                                                    << qPrintable(upper->objectName()) << " (" << high << ")";
            }
        }
    };
    ASSERT_TRUE(waitUntil([&] { return stacking().contains(stage.pointerPanel()->winId()); }, waitLimit));
    expectStacked({&other}, {dim});
    expectStacked({dim}, {stage.designWindow(), stage.coachPanel(), stage.pointerPanel()});
    expectStacked({stage.designWindow()}, {stage.coachPanel(), stage.pointerPanel()});
    expectPointerAtTheIcon(s, true);

    // Return answers the working beat; the video comes without taking the focus.
    ASSERT_TRUE(waitUntil([&] { return QGuiApplication::focusWindow() == stage.designWindow(); }, waitLimit));
    xdotool({"key", "Return"});
    ASSERT_TRUE(s.reach(Beat::Tempted));
    QQuickWindow* video = stage.videoWindow();
    ASSERT_TRUE(waitUntil([&] { return video->isExposed() && stacking().contains(video->winId()); }, waitLimit));
    // (QWindow::isActive() is true for every transient of the dim while one of them has the focus.)
    EXPECT_NE(QGuiApplication::focusWindow(), video);
    expectStacked({dim}, {video});
    expectStacked({video}, {stage.coachPanel(), stage.pointerPanel()});

    // A click on the video activates it: drifting.
    const QPoint centre = video->geometry().center();
    xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"});
    ASSERT_TRUE(s.reach(Beat::Drifting));
    EXPECT_EQ(QGuiApplication::focusWindow(), video);
    QTest::qWait(300); // the window manager restacks after the focus change
    expectStacked({stage.designWindow(), video}, {stage.coachPanel(), stage.pointerPanel()});

    // The nudge comes; its "Get back to work", clicked, brings the design window back with the focus.
    ASSERT_TRUE(s.reach(Beat::Nudged));
    auto* presenter = dynamic_cast<shell::NudgePresenter*>(s.h.app->nudgePresenter());
    ASSERT_TRUE(presenter);
    QQuickWindow* card = presenter->cardPanel();
    ASSERT_TRUE(card && waitUntil([&] { return card->isExposed(); }, waitLimit));

    auto* frosted = s.h.app->engine().singletonInstance<ui::Frosted*>(qmlTypeId("Tavrine.Ui", 1, 0, "Frosted"));
    ASSERT_TRUE(frosted);
    // A point where only the dim lies over the other window, as the screen shows it.
    QPoint bare;
    for (int y = other.y(); y < other.y() + other.height() && bare.isNull(); y += 10) {
        for (int x = other.x(); x < other.x() + other.width() && bare.isNull(); x += 10) {
            bool covered = false;
            for (QQuickWindow* window : {stage.designWindow(), video, stage.coachPanel(), stage.pointerPanel(), card})
                covered = covered || window->geometry().adjusted(-20, -20, 20, 20).contains(QPoint(x, y));
            bare = covered ? QPoint() : QPoint(x, y);
        }
    }
    ASSERT_FALSE(bare.isNull());
    const auto shown = [&] {
        return QGuiApplication::primaryScreen()->grabWindow(0, bare.x(), bare.y(), 1, 1).toImage().pixel(0, 0);
    };
    QProcess compositor;
    struct Cleanup {
        QProcess& process;
        ~Cleanup() {
            process.kill();
            process.waitForFinished();
        }
    } cleanup{compositor};
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "xcompmgr started" : "xcompmgr quit");
        if (running) {
            compositor.start(QStringLiteral("xcompmgr"), {});
            ASSERT_TRUE(compositor.waitForStarted());
        } else {
            compositor.kill();
            compositor.waitForFinished();
        }
        EXPECT_TRUE(waitUntil([&] { return stage.translucent() == running; }, waitLimit)) << "the stage";
        EXPECT_EQ(dim->color().alpha() < 255, running) << "the dim";
        EXPECT_EQ(card->color().alpha() == 0, running) << "the nudge card's panel";
        EXPECT_EQ(findItem(card, QStringLiteral("nudgeView"))->property("translucent").toBool(), running)
            << "the nudge card's fill";
        EXPECT_EQ(frosted->compositorRunning(), running) << "the frosted windows";
        // The screen shows the window behind through the dim, or the dim's black.
        EXPECT_TRUE(waitUntil([&] { return (qGray(shown()) > 30) == running; }, waitLimit)) << qGray(shown());
    }
    QList<QQuickItem*> back;
    for (QQuickItem* item : card->contentItem()->findChildren<QQuickItem*>(QStringLiteral("backToWork"))) {
        if (item->isVisible())
            back << item;
    }
    ASSERT_FALSE(back.isEmpty());
    QTest::qWait(300);
    const QPoint button = card->mapToGlobal(
        back.first()->mapToScene(QPointF(back.first()->width() / 2, back.first()->height() / 2)).toPoint());
    xdotool({"mousemove", QString::number(button.x()), QString::number(button.y()), "click", "1"});
    ASSERT_TRUE(s.reach(Beat::Returned));
    EXPECT_TRUE(waitUntil([&] { return QGuiApplication::focusWindow() == stage.designWindow(); }, waitLimit));
    EXPECT_TRUE(waitUntil([&] { return !video->isVisible(); }, waitLimit));
    QTest::qWait(300);

    xdotool({"key", "Escape"});
    s.expectOnboardingBack();
}

// Alt+F4 asks the window manager to close the active stage window: the stage ends instead, and onboarding is back.
TEST(StageX11, ClosingAStageWindowFromTheKeyboardBringsBackOnboarding) {
    StageApp s;
    s.start();
    ASSERT_TRUE(waitUntil([&] { return QGuiApplication::focusWindow() == s.stage().designWindow(); }, waitLimit));
    xdotool({"key", "alt+F4"});
    s.expectOnboardingBack();
}

TEST(StageBottomTrayX11, ThePointerStandsAboveAnIconAtTheBottomPointingDown) {
    StageApp s;
    s.start();
    expectPointerAtTheIcon(s, false);
    s.flow().skipRehearsal();
    s.expectOnboardingBack();
}

TEST(StageNoTrayX11, ThePointerStandsInTheCornerWithoutATray) {
    StageApp s;
    s.start();
    s.step(OnboardingStage::pointerInterval);
    QQuickWindow* pointer = s.stage().pointerPanel();
    const QRect v = s.stage().availableFrame();
    const QRect corner(v.x() + v.width() - 198, v.y() + 8, stagegeometry::pointerWidth, stagegeometry::pointerHeight);
    EXPECT_EQ(pointer->geometry(), corner);
    EXPECT_TRUE(
        waitUntil([&] { return serverWindow(pointer).frame == corner && serverWindow(pointer).mapped; }, waitLimit));
    EXPECT_FALSE(pointer->contentItem()->childItems().first()->property("pointsDown").toBool());
    s.flow().skipRehearsal();
    s.expectOnboardingBack();
}

#include "tavrine/nudge/NotchNudgeController.h"
#include "fakes/FakeMotionPreference.h"
#include "nudge/NudgedSession.h"
#include "support/QmlTestSupport.h"
#include "tavrine/nudge/NotchOpenness.h"
#include "tavrine/nudge/NudgeMotion.h"
#include "tavrine/nudge/ReasonChangeSpring.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QCoreApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::test;
using tavrine::nudge::NotchNudgeController;

namespace {

const QRectF kScreen(0, 0, 1512, 982);
const QSizeF kNotch(200, 32);

struct NotchFixture : NudgedSession {
    void turn() { QCoreApplication::processEvents(); }
    bool shown() { return controller.window() && controller.window()->isVisible(); }

    QmlHarness harness;
    FakeMotionPreference motion;
    FrameTimeOn frameTime{h->clock};
    NotchNudgeController controller{*h->session, harness.engine(), h->clock,
                                    NotchNudgeController::Options{true, &motion}};
};

} // namespace

TEST(NotchNudgeController, OpensOnTheNextTurnAndClosesAfterTheAnimation) {
    NotchFixture f;
    f.nudge(QStringLiteral("Videos can wait."));
    f.controller.show(kScreen, kNotch);
    auto& state = f.controller.state();
    EXPECT_TRUE(f.controller.wantsOpen());
    EXPECT_FALSE(state.isOpen()); // the first frame is the closed cap
    EXPECT_DOUBLE_EQ(state.revealedAt(), f.h->clock.now() + 0.22);
    EXPECT_EQ(state.reason(), QStringLiteral("Videos can wait."));
    EXPECT_EQ(state.intention(), QStringLiteral("Write the quarterly report"));
    f.turn();
    EXPECT_TRUE(state.isOpen());
    ASSERT_TRUE(f.shown());
    const QRect frame = f.controller.window()->geometry();
    EXPECT_EQ(frame.top(), 0);
    EXPECT_EQ(frame.center().x(), 755);
    EXPECT_TRUE(f.controller.window()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));

    // A second show keeps the reveal.
    const double revealedAt = state.revealedAt();
    f.h->advance(1);
    f.controller.show(kScreen, kNotch);
    EXPECT_EQ(state.revealedAt(), revealedAt);

    f.controller.hide(true);
    EXPECT_FALSE(state.isOpen());
    f.h->advance(0.44);
    EXPECT_TRUE(f.shown());
    f.h->advance(0.02);
    f.turn();
    EXPECT_FALSE(f.shown());
    EXPECT_TRUE(f.harness.warnings().isEmpty()) << f.harness.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST(NotchNudgeController, ShowDuringClosingCallsOffTheRemoval) {
    NotchFixture f;
    f.nudge(QStringLiteral("Videos can wait."));
    f.controller.show(kScreen, kNotch);
    f.turn();
    f.controller.hide(true);
    f.h->advance(0.2);
    f.controller.show(kScreen, QSizeF(180, 24));
    EXPECT_EQ(f.controller.state().notch(), QSizeF(180, 24));
    f.h->advance(1);
    f.turn();
    EXPECT_TRUE(f.shown());
    EXPECT_TRUE(f.controller.state().isOpen());
}

TEST(NotchNudgeController, HideBeforeTheQueuedOpenNeverOpens) {
    NotchFixture f;
    // Hiding what was never built only clears the flags.
    f.controller.hide(true);
    EXPECT_FALSE(f.controller.wantsOpen());
    EXPECT_FALSE(f.controller.window());
    f.nudge(QStringLiteral("Videos can wait."));
    f.controller.show(kScreen, kNotch);
    f.controller.hide(false);
    f.turn();
    EXPECT_FALSE(f.controller.state().isOpen());
    EXPECT_FALSE(f.shown());
}

TEST(NotchNudgeController, AnEmptyReasonKeepsThePreviousCard) {
    NotchFixture f;
    f.nudge(QStringLiteral("Videos can wait."));
    f.controller.show(kScreen, kNotch);
    f.turn();
    f.h->session->acknowledgeNudge();
    f.controller.hide(false);
    ASSERT_TRUE(f.h->session->pendingNudgeReason().isEmpty());
    f.controller.show(kScreen, QSizeF(210, 30));
    EXPECT_EQ(f.controller.state().reason(), QStringLiteral("Videos can wait."));
    EXPECT_EQ(f.controller.state().notch(), QSizeF(210, 30));
    f.turn();
    EXPECT_TRUE(f.controller.state().isOpen());
}

TEST(NotchNudgeController, ARehearsalShowsItsOwnIntentionAndFollowsTheMotionSetting) {
    NotchFixture f;
    ASSERT_TRUE(f.h->session->startRehearsal(QStringLiteral("Design the landing page"), 30, nullptr));
    ActivityEvidence staged;
    staged.app = QStringLiteral("Stage browser");
    f.h->session->setRehearsalNudge(staged, QStringLiteral("Back to the landing page."));
    f.controller.show(kScreen, kNotch);
    EXPECT_EQ(f.controller.state().intention(), QStringLiteral("Design the landing page"));
    auto* root = f.controller.rootItem();
    ASSERT_TRUE(root);
    EXPECT_EQ(findItem(root, QStringLiteral("secondaryButtons"))->opacity(), 0.55);
    EXPECT_FALSE(root->property("reduceMotion").toBool());
    f.motion.setReduceMotion(true);
    EXPECT_TRUE(root->property("reduceMotion").toBool());
    EXPECT_TRUE(f.harness.warnings().isEmpty()) << f.harness.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST(NotchOpenness, SpringsOpenAndCloseAndJumpWithoutAnimation) {
    ManualClock clock(100);
    FrameTimeOn frameTime(clock);
    nudge::NotchOpenness openness;
    openness.setOpen(true);
    clock.advance(0.1);
    openness.step();
    EXPECT_GT(openness.progress(), 0.0);
    EXPECT_LT(openness.progress(), 1.0);
    double peak = 0;
    for (int i = 0; i < 300; ++i) {
        clock.advance(1.0 / 60);
        openness.step();
        peak = std::max(peak, openness.progress());
    }
    EXPECT_EQ(openness.progress(), 1.0); // settled exactly
    EXPECT_GT(peak, 1.0);                // after a small overshoot
    openness.setReduceMotion(true);
    openness.setOpen(false);
    clock.advance(0.1);
    openness.step();
    EXPECT_NEAR(openness.progress(), 0.5, 1e-6); // half-way through the 0.2 s ease-in-out
    clock.advance(0.1);
    openness.step();
    EXPECT_EQ(openness.progress(), 0.0);
    openness.setAnimated(false);
    openness.setOpen(true);
    EXPECT_EQ(openness.progress(), 1.0);
}

TEST(ReasonChangeSpring, TakesTheFirstTargetAndJumpsUnlessAnimatedElseSprings) {
    ManualClock clock(100);
    FrameTimeOn frameTime(clock);
    nudge::ReasonChangeSpring spring;
    spring.setAnimated(true);
    spring.setTarget(200);
    EXPECT_EQ(spring.value(), 200.0);
    EXPECT_FALSE(spring.moving());

    spring.setTarget(300);
    EXPECT_EQ(spring.value(), 200.0);
    clock.advance(0.1);
    spring.step();
    EXPECT_NEAR(spring.value(), 200 + 100 * nudge::kReasonChangeSpring.valueAt(0.1), 1e-9);
    EXPECT_GT(spring.value(), 200.0);
    EXPECT_LT(spring.value(), 300.0);
    // A new target half-way starts from where the value stands.
    const double midway = spring.value();
    spring.setTarget(150);
    clock.advance(0.05);
    spring.step();
    EXPECT_NEAR(spring.value(), midway + (150 - midway) * nudge::kReasonChangeSpring.valueAt(0.05), 1e-9);
    for (int i = 0; i < 60; ++i) {
        clock.advance(1.0 / 60);
        spring.step();
    }
    EXPECT_EQ(spring.value(), 150.0);
    EXPECT_FALSE(spring.moving());

    spring.setTarget(400);
    spring.setAnimated(false); // mid-flight: straight to the target
    EXPECT_EQ(spring.value(), 400.0);
    EXPECT_FALSE(spring.moving());
    spring.setTarget(100);
    EXPECT_EQ(spring.value(), 100.0);
}

// A new reason in the open notch panel grows the silhouette with the 0.4 s spring; while closed the open size
// follows the text at once.
TEST(NotchNudgeView, ANewReasonWhileOpenSpringsTheSilhouette) {
    ManualClock clock(100);
    FrameTimeOn frameTime(clock);
    QmlHarness harness;
    nudge::NotchNudgeState state;
    state.setReason(QStringLiteral("Videos can wait."));
    auto view = harness.create(ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QStringLiteral("NotchNudgeView")),
                               {{QStringLiteral("panelState"), QVariant::fromValue<QObject*>(&state)}});
    auto* root = qobject_cast<QQuickItem*>(view.get());
    ASSERT_TRUE(root);
    auto* silhouette = findItem(root, QStringLiteral("notchSilhouette"));
    auto* openness = qobject_cast<nudge::NotchOpenness*>(findObject(root, QStringLiteral("notchOpenness")));
    auto* spring = qobject_cast<nudge::ReasonChangeSpring*>(findObject(root, QStringLiteral("openHeight")));
    ASSERT_TRUE(silhouette && openness && spring);
    auto areaHeight = [&] { return root->property("areaHeight").toDouble(); };
    const QString longer = QStringLiteral("Nice detour, but the quarterly report is waiting for its numbers, the "
                                          "deadline is tomorrow morning, and the team counts on the summary table "
                                          "before the review. Back to the spreadsheet now?");

    // Closed: a new text is taken at once.
    state.setReason(longer);
    const double tall = areaHeight();
    EXPECT_EQ(spring->value(), tall);
    state.setReason(QStringLiteral("Videos can wait."));
    const double shortHeight = areaHeight();
    ASSERT_LT(shortHeight, tall);
    EXPECT_EQ(spring->value(), shortHeight);

    state.setIsOpen(true);
    clock.advance(2);
    openness->step();
    ASSERT_EQ(openness->progress(), 1.0);
    EXPECT_EQ(silhouette->height(), shortHeight);

    state.setReason(longer);
    EXPECT_EQ(areaHeight(), tall);
    EXPECT_EQ(silhouette->height(), shortHeight);
    clock.advance(0.1);
    spring->step();
    EXPECT_NEAR(silhouette->height(), shortHeight + (tall - shortHeight) * nudge::kReasonChangeSpring.valueAt(0.1),
                1e-6);
    clock.advance(1);
    spring->step();
    EXPECT_EQ(silhouette->height(), tall);
    EXPECT_TRUE(harness.warnings().isEmpty()) << harness.warnings().join(QLatin1Char('\n')).toStdString();
}

#include "fakes/FakeMotionPreference.h"
#include "fakes/FakeNudgeWriter.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "tavrine/nudge/FrameTime.h"
#include "tavrine/nudge/NotchNudgeController.h"
#include "tavrine/nudge/NotchOpenness.h"

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

struct NotchFixture {
    NotchFixture() {
        SessionServices services;
        services.nudgeWriter = writer;
        h = std::make_unique<SessionHarness>(services);
        h->judge(ActivityRelevance::Unrelated, 0.1, QStringLiteral("Watching videos"));
        nudge::FrameTime::use(&h->clock);
        controller = std::make_unique<NotchNudgeController>(*h->session, harness.engine(), h->clock,
                                                            NotchNudgeController::Options{true, &motion});
    }
    ~NotchFixture() { nudge::FrameTime::use(nullptr); }
    void nudge(const QString& reason) {
        writer->setAnswer(WrittenNudge{reason, reason, QStringLiteral("v"), QStringLiteral("m"), QStringLiteral("d")});
        if (h->session->phase() != SessionPhase::Running)
            h->start();
        for (int i = 0; i < 480 && !h->session->pendingNudge(); ++i)
            h->advance(0.25);
        ASSERT_EQ(h->session->pendingNudgeReason(), reason);
    }
    void turn() { QCoreApplication::processEvents(); }
    bool shown() const { return controller->window() && controller->window()->isVisible(); }

    QmlHarness harness;
    std::shared_ptr<FakeNudgeWriter> writer = std::make_shared<FakeNudgeWriter>();
    std::unique_ptr<SessionHarness> h;
    FakeMotionPreference motion;
    std::unique_ptr<NotchNudgeController> controller;
};

} // namespace

TEST(NotchNudgeController, OpensOnTheNextTurnAndClosesAfterTheAnimation) {
    NotchFixture f;
    f.nudge(QStringLiteral("Videos can wait."));
    f.controller->show(kScreen, kNotch);
    auto& state = f.controller->state();
    EXPECT_TRUE(f.controller->wantsOpen());
    EXPECT_FALSE(state.isOpen()); // the first frame is the closed cap
    EXPECT_DOUBLE_EQ(state.revealedAt(), f.h->clock.now() + 0.22);
    EXPECT_EQ(state.reason(), QStringLiteral("Videos can wait."));
    EXPECT_EQ(state.intention(), QStringLiteral("Write the quarterly report"));
    f.turn();
    EXPECT_TRUE(state.isOpen());
    ASSERT_TRUE(f.shown());
    const QRect frame = f.controller->window()->geometry();
    EXPECT_EQ(frame.top(), 0);
    EXPECT_EQ(frame.center().x(), 755);
    EXPECT_TRUE(f.controller->window()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));

    // A second show keeps the reveal.
    const double revealedAt = state.revealedAt();
    f.h->advance(1);
    f.controller->show(kScreen, kNotch);
    EXPECT_EQ(state.revealedAt(), revealedAt);

    f.controller->hide(true);
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
    f.controller->show(kScreen, kNotch);
    f.turn();
    f.controller->hide(true);
    f.h->advance(0.2);
    f.controller->show(kScreen, QSizeF(180, 24));
    EXPECT_EQ(f.controller->state().notch(), QSizeF(180, 24));
    f.h->advance(1);
    f.turn();
    EXPECT_TRUE(f.shown());
    EXPECT_TRUE(f.controller->state().isOpen());
}

TEST(NotchNudgeController, HideBeforeTheQueuedOpenNeverOpens) {
    NotchFixture f;
    // Hiding what was never built only clears the flags.
    f.controller->hide(true);
    EXPECT_FALSE(f.controller->wantsOpen());
    EXPECT_FALSE(f.controller->window());
    f.nudge(QStringLiteral("Videos can wait."));
    f.controller->show(kScreen, kNotch);
    f.controller->hide(false);
    f.turn();
    EXPECT_FALSE(f.controller->state().isOpen());
    EXPECT_FALSE(f.shown());
}

TEST(NotchNudgeController, AnEmptyReasonKeepsThePreviousCard) {
    NotchFixture f;
    f.nudge(QStringLiteral("Videos can wait."));
    f.controller->show(kScreen, kNotch);
    f.turn();
    f.h->session->acknowledgeNudge();
    f.controller->hide(false);
    ASSERT_TRUE(f.h->session->pendingNudgeReason().isEmpty());
    f.controller->show(kScreen, QSizeF(210, 30));
    EXPECT_EQ(f.controller->state().reason(), QStringLiteral("Videos can wait."));
    EXPECT_EQ(f.controller->state().notch(), QSizeF(210, 30));
    f.turn();
    EXPECT_TRUE(f.controller->state().isOpen());
}

TEST(NotchNudgeController, ARehearsalShowsItsOwnIntentionAndFollowsTheMotionSetting) {
    NotchFixture f;
    ASSERT_TRUE(f.h->session->startRehearsal(QStringLiteral("Design the landing page"), 30, nullptr));
    ActivityEvidence staged;
    staged.app = QStringLiteral("Stage browser");
    f.h->session->setRehearsalNudge(staged, QStringLiteral("Back to the landing page."));
    f.controller->show(kScreen, kNotch);
    EXPECT_EQ(f.controller->state().intention(), QStringLiteral("Design the landing page"));
    auto* root = f.controller->rootItem();
    ASSERT_TRUE(root);
    EXPECT_EQ(findItem(root, QStringLiteral("secondaryButtons"))->opacity(), 0.55);
    EXPECT_FALSE(root->property("reduceMotion").toBool());
    f.motion.setReduceMotion(true);
    EXPECT_TRUE(root->property("reduceMotion").toBool());
    EXPECT_TRUE(f.harness.warnings().isEmpty()) << f.harness.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST(NotchOpenness, SpringsOpenAndCloseAndJumpWithoutAnimation) {
    ManualClock clock(100);
    nudge::FrameTime::use(&clock);
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
    nudge::FrameTime::use(nullptr);
}

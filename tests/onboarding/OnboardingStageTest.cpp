#include "tavrine/onboarding/OnboardingStage.h"
#include "fakes/FakeCompositing.h"
#include "fakes/FakeMotionPreference.h"
#include "fakes/FakePermissions.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/core/ManualClock.h"
#include "tavrine/onboarding/CoachModel.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/StageSurroundings.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using namespace tavrine::test;
using Beat = OnboardingRehearsal::Beat;

namespace {

class RecordingPlayer final : public RehearsalPlaying {
public:
    explicit RecordingPlayer(QStringList& calls) : m_calls(calls) {}
    void setCurrent(OnboardingRehearsal::Video video, bool playing) override {
        m_calls << QStringLiteral("current %1 %2")
                       .arg(video == OnboardingRehearsal::Video::Detour ? "detour" : "tutorial")
                       .arg(playing ? "playing" : "paused");
    }
    void play() override { m_calls << QStringLiteral("play"); }
    void pause() override { m_calls << QStringLiteral("pause"); }
    void teardown() override { m_calls << QStringLiteral("teardown"); }

private:
    QStringList& m_calls;
};

class FakeSurroundings final : public StageSurroundings {
public:
    std::optional<QRectF> trayIconFrame() const override { return tray; }
    std::optional<QRectF> nudgeFrame() const override { return nudge; }
    void raiseNudge() override { ++raises; }
    void activate(QWindow* window) override { window->requestActivate(); }

    std::optional<QRectF> tray;
    std::optional<QRectF> nudge;
    int raises = 0;
};

// Lets through what the stage passes on, and counts it.
class KeySpy final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && watched->isWindowType())
            keys << static_cast<QKeyEvent*>(event)->key();
        return false;
    }
    QList<int> keys;
};

struct StageHarness {
    StageHarness() {
        OnboardingStage::Parts parts = OnboardingStage::defaultParts();
        parts.makePlayer = [this] { return std::make_unique<RecordingPlayer>(calls); };
        parts.surroundings = &surroundings;
        parts.motion = &motion;
        parts.compositing = &compositing;
        stage = std::make_unique<OnboardingStage>(qml.engine(), stageClock, parts);
        rehearsal = std::make_unique<OnboardingRehearsal>(h.clock);
        rehearsal->setOnBeat([this](Beat beat) {
            stage->apply(beat);
            // Where the stage first sends the coach for the beat.
            firstTargets << stage->coachTarget();
        });
        host.setObjectName(QStringLiteral("onboarding"));
        host.resize(640, 480);
        host.show();
    }
    ~StageHarness() {
        stage.reset();
        rehearsal.reset();
    }
    void presentRunning(bool waitForScreen = true) {
        ASSERT_TRUE(rehearsal->start(h.session.get(), [this] { stage->dismiss(); }));
        stage->present(rehearsal.get(), &host, [this] {
            ++skips;
            rehearsal->skip();
        });
        if (waitForScreen) {
            ASSERT_TRUE(QTest::qWaitFor([this] { return stage->onScreen(); }, desktopWaitMs));
        }
        h.advance(0);
    }
    // The stage's loop and the coach's moves run on a clock of their own here, so that they can run while the
    // rehearsal's script stands still.
    void advanceStage(double seconds) {
        stageClock.advance(seconds);
        QCoreApplication::processEvents();
    }
    void settleCoach() { advanceStage(OnboardingStage::coachMoveMs / 1000.0); }
    void key(int key) { QTest::keyClick(stage->designWindow(), Qt::Key(key)); }

    SessionHarness h;
    ManualClock stageClock;
    QmlHarness qml;
    FakeSurroundings surroundings;
    FakeMotionPreference motion;
    FakeCompositing compositing;
    QStringList calls;
    QWindow host;
    std::unique_ptr<OnboardingStage> stage;
    std::unique_ptr<OnboardingRehearsal> rehearsal;
    int skips = 0;
    QList<QRect> firstTargets;
};

} // namespace

// The host stays on screen, taking no input, until the stage is: the click shows on it at once, and nothing but
// the host or the stage is ever on screen. Windows built ahead are the ones presented.
TEST(OnboardingStage, PresentsOnceOverAHiddenHostAndDismissesOnce) {
    StageHarness s;
    s.stage->prepare(s.rehearsal.get(), &s.host);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.stage->coachPanel() != nullptr; }, desktopWaitMs));
    QQuickWindow* prepared = s.stage->designWindow();
    ASSERT_TRUE(prepared);
    EXPECT_FALSE(s.stage->isPresented());
    EXPECT_FALSE(prepared->isVisible());
    s.presentRunning(false);
    ASSERT_TRUE(s.stage->isPresented());
    EXPECT_EQ(s.stage->designWindow(), prepared);
    if (!s.stage->onScreen()) {
        EXPECT_TRUE(s.host.isVisible());
        EXPECT_TRUE(s.host.flags() & Qt::WindowTransparentForInput);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.stage->onScreen(); }, desktopWaitMs));
    s.h.advance(0);
    QQuickWindow* design = s.stage->designWindow();
    EXPECT_TRUE(s.stage->hidesHost());
    EXPECT_FALSE(s.host.isVisible());
    EXPECT_TRUE(design->isVisible());
    EXPECT_TRUE(s.stage->dimWindow()->isVisible());
    EXPECT_TRUE(s.stage->coachPanel()->isVisible());
    EXPECT_FALSE(s.stage->videoWindow()->isVisible());
    EXPECT_EQ(s.stage->dimWindow()->color(), QColor(Qt::black));
    // What shows of the mock windows before their first frame: a light design tool, a dark video site.
    EXPECT_EQ(design->color(), QColor(Qt::white));
    EXPECT_EQ(s.stage->videoWindow()->color().rgb(), QColor::fromRgbF(0.06f, 0.06f, 0.06f).rgb());
    for (QQuickWindow* w : {design, s.stage->videoWindow(), s.stage->coachPanel(), s.stage->pointerPanel()})
        EXPECT_EQ(w->transientParent(), s.stage->dimWindow()) << w->objectName().toStdString();
    EXPECT_TRUE(s.stage->coachPanel()->flags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(s.stage->pointerPanel()->flags() & Qt::WindowTransparentForInput);
    // Without a tray the pointer waits in the corner.
    EXPECT_TRUE(s.stage->pointerPanel()->isVisible());
    const QRect v = s.stage->availableFrame();
    EXPECT_EQ(s.stage->pointerPanel()->geometry(), QRect(v.x() + v.width() - 198, v.y() + 8, 190, 70));

    s.stage->present(s.rehearsal.get(), &s.host, [] {});
    EXPECT_EQ(s.stage->designWindow(), design);

    s.stage->dismiss();
    EXPECT_FALSE(s.stage->isPresented());
    EXPECT_TRUE(s.host.isVisible());
    EXPECT_FALSE(s.host.flags() & Qt::WindowTransparentForInput);
    EXPECT_EQ(s.host.opacity(), 1.0);
    EXPECT_FALSE(s.stage->hidesHost());
    EXPECT_EQ(s.calls, QStringList{QStringLiteral("teardown")});
    s.stage->dismiss();
    EXPECT_EQ(s.calls.size(), 1);
    s.rehearsal->skip();
}

TEST(OnboardingStage, KeysSkipAndAnswerOnlyWhereTheBeatTakesThem) {
    StageHarness s;
    auto spy = std::make_unique<KeySpy>();
    qApp->installEventFilter(spy.get());
    s.presentRunning();
    // Return answers the working beat and is consumed.
    s.key(Qt::Key_Return);
    EXPECT_TRUE(s.rehearsal->answered());
    EXPECT_TRUE(spy->keys.isEmpty());
    s.h.advance(0.04);
    ASSERT_EQ(s.rehearsal->beat(), Beat::Tempted);
    // During tempted, Enter reaches the application unchanged.
    s.key(Qt::Key_Enter);
    EXPECT_EQ(spy->keys, QList<int>{Qt::Key_Enter});
    // Escape skips, consumed.
    s.key(Qt::Key_Escape);
    EXPECT_EQ(s.skips, 1);
    EXPECT_EQ(spy->keys.size(), 1);
    EXPECT_FALSE(s.stage->isPresented());
    EXPECT_FALSE(s.rehearsal->isRunning());
    EXPECT_FALSE(s.h.session->rehearsalIntention().has_value());
}

TEST(OnboardingStage, ThePlayerAndTheVideoFollowTheBeats) {
    StageHarness s;
    s.presentRunning();
    QQuickWindow* video = s.stage->videoWindow();
    s.stage->apply(Beat::Tempted);
    EXPECT_TRUE(video->isVisible());
    EXPECT_TRUE(video->property("_q_showWithoutActivating").toBool());
    s.stage->apply(Beat::Drifting);
    EXPECT_TRUE(s.stage->designWindow()->flags() & Qt::WindowTransparentForInput);
    s.stage->apply(Beat::Nudged);
    s.stage->apply(Beat::Returned);
    EXPECT_FALSE(video->isVisible());
    EXPECT_FALSE(s.stage->designWindow()->flags() & Qt::WindowTransparentForInput);
    s.stage->apply(Beat::Researching);
    EXPECT_TRUE(video->isVisible());
    s.stage->apply(Beat::Finished);
    s.stage->dismiss();
    EXPECT_EQ(s.calls, (QStringList{"current detour paused", "play", "pause", "pause", "current tutorial playing",
                                    "pause", "teardown"}));
    s.rehearsal->skip();
}

TEST(OnboardingStage, ClosingTheMockWindowsSkipsInstead) {
    StageHarness s;
    s.presentRunning();
    QQuickWindow* design = s.stage->designWindow();
    EXPECT_FALSE(design->close());
    EXPECT_EQ(s.skips, 1);
    EXPECT_FALSE(s.stage->isPresented());
    EXPECT_EQ(s.stage->designWindow(), nullptr);
}

TEST(OnboardingStage, TheCoachMovesUnderTheNudgeCardAndThePointerUnderTheTray) {
    StageHarness s;
    s.presentRunning();
    const QRect v = s.stage->availableFrame();
    s.surroundings.tray = QRectF(v.x() + 600, v.y(), 24, 24);
    s.surroundings.nudge = QRectF(v.x() + 100, v.y() + 8, 360, 140);
    s.advanceStage(0.25);
    EXPECT_EQ(s.stage->pointerPanel()->geometry(), QRect(v.x() + 517, v.y() + 26, 190, 70));
    EXPECT_EQ(s.stage->trayEdge(), OnboardingStage::TrayEdge::Top);
    s.rehearsal->answerNext();
    s.h.advance(0.04);
    s.rehearsal->answerVideoActivated();
    s.h.advance(0.04);
    s.h.advance(OnboardingRehearsal::driftHold);
    ASSERT_EQ(s.rehearsal->beat(), Beat::Nudged);
    // While nudged, the coach hangs 14 px under the card, centred on it.
    const QRect target = s.stage->coachTarget();
    EXPECT_EQ(target.y(), v.y() + 8 + 140 + 14);
    EXPECT_EQ(target.width(), 440);
    EXPECT_EQ(target.x(), v.x() + 100 + 180 - 220);
    s.rehearsal->skip();
}

// The panel stops at the screen's sides; its arrow still points at an icon near them, over the label's straight
// edge, and the window's outline follows it.
TEST(OnboardingStage, ThePointersArrowReachesAnIconByTheScreensSides) {
    StageHarness s;
    s.presentRunning();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QQuickWindow* pointer = s.stage->pointerPanel();
    for (const double iconX : {screen.x() + 600.0, screen.x() + screen.width() - 24.0, double(screen.x())}) {
        SCOPED_TRACE(iconX);
        s.surroundings.tray = QRectF(iconX, screen.y(), 24, 24);
        s.advanceStage(0.25);
        QCoreApplication::processEvents();
        QQuickItem* content = pointer->contentItem()->childItems().first();
        QQuickItem* arrow = findItem(content, QStringLiteral("pointerArrow"));
        QQuickItem* label = findItem(content, QStringLiteral("pointerLabel"));
        ASSERT_TRUE(arrow && label);
        const double arrowX = pointer->x() + arrow->mapToScene(QPointF(arrow->width() / 2, 0)).x();
        EXPECT_GE(arrowX, iconX + 2);
        EXPECT_LE(arrowX, iconX + 22);
        const QRectF box = label->mapRectToScene(QRectF(0, 0, label->width(), label->height()));
        const double radius = label->property("radius").toDouble();
        EXPECT_GE(arrowX - pointer->x(), box.left() + radius - 0.5);
        EXPECT_LE(arrowX - pointer->x(), box.right() - radius + 0.5);
        EXPECT_GE(box.left(), 0);
        EXPECT_LE(box.right(), pointer->width());
        EXPECT_TRUE(pointer->mask().contains(
            QPoint(int(arrowX - pointer->x()), int(arrow->mapToScene(QPointF(0, arrow->height() * 0.75)).y()))));
    }
    s.rehearsal->skip();
}

TEST(OnboardingStage, TheContentsFollowTheRehearsalAndAnswerThroughTheStage) {
    StageHarness s;
    s.motion.setReduceMotion(true);
    s.presentRunning();
    CoachModel* coach = s.stage->coachModel();
    ASSERT_TRUE(coach);
    EXPECT_EQ(coach->beat(), int(Beat::Working));
    EXPECT_EQ(coach->trayEdge(), int(Qt::TopEdge));
    QQuickItem* design = findItem(s.stage->designWindow()->contentItem(), QStringLiteral("rehearsalDesign"));
    ASSERT_TRUE(design);
    EXPECT_TRUE(design->property("reduceMotion").toBool());
    s.motion.setReduceMotion(false);
    EXPECT_FALSE(design->property("reduceMotion").toBool());

    // The card's Next answers the beat; the model and the pointer follow the next one.
    QQuickItem* next = findItem(s.stage->coachPanel()->contentItem(), QStringLiteral("rehearsalNext"));
    ASSERT_TRUE(next && next->isVisible());
    QMetaObject::invokeMethod(s.stage->coachPanel()->contentItem()->childItems().first(), "next");
    EXPECT_TRUE(s.rehearsal->answered());
    s.h.advance(0.04);
    s.rehearsal->answerVideoActivated();
    s.h.advance(0.04);
    ASSERT_EQ(s.rehearsal->beat(), Beat::Drifting);
    EXPECT_EQ(coach->beat(), int(Beat::Drifting));
    EXPECT_TRUE(coach->counting());
    EXPECT_EQ(coach->driftStarted(), s.rehearsal->driftStartedDate());
    EXPECT_EQ(s.stage->pointerPanel()->contentItem()->childItems().first()->property("beat").toInt(),
              int(Beat::Drifting));
    EXPECT_EQ(design->property("beat").toInt(), int(Beat::Drifting));

    // The card's Skip skips.
    QMetaObject::invokeMethod(s.stage->coachPanel()->contentItem()->childItems().first(), "skip");
    EXPECT_EQ(s.skips, 1);
    EXPECT_FALSE(s.stage->isPresented());
    EXPECT_EQ(s.stage->coachModel(), nullptr);
}

// Without a compositor the panels are cut to their contents' outlines, black inside so that soft edges meet the
// dim; the dim leaves the tray icon uncovered. A compositor that comes while the stage shows lets the screen through
// the dim and the panels draw their own edges; when it goes, all is opaque and cut again.
TEST(OnboardingStage, WithoutACompositorThePanelsAreCutToTheirOutlines) {
    StageHarness s;
    s.presentRunning(false);
    // The card's first size, before it has drawn.
    s.firstTargets << s.stage->coachTarget();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.stage->onScreen(); }, desktopWaitMs));
    const QRect v = s.stage->availableFrame();
    s.surroundings.tray = QRectF(v.x() + 600, v.y() + 1, 22, 24);
    s.advanceStage(0.25);
    QCoreApplication::processEvents();
    QQuickWindow* coach = s.stage->coachPanel();
    QQuickWindow* pointer = s.stage->pointerPanel();
    EXPECT_EQ(coach->color(), QColor(Qt::black));
    EXPECT_EQ(pointer->color(), QColor(Qt::black));

    // The card, with round corners at its size, each time its height changes. The move to a new size runs on the
    // stage's clock, and the outline follows the card's size on the way (as the window system reports each step):
    // it is checked once both have arrived. The card goes straight to its size, at the presentation and at each
    // beat: where the stage first sent it is where it ends, not a size its content had before.
    QSet<int> heights;
    const auto expectCardMask = [&] {
        s.settleCoach();
        const QRect target = s.stage->coachTarget();
        EXPECT_EQ(target, s.firstTargets.last());
        EXPECT_EQ(coach->geometry(), target);
        EXPECT_EQ(coach->mask().boundingRect().size(), target.size());
        heights.insert(target.height());
        const QRegion mask = coach->mask();
        EXPECT_EQ(mask.boundingRect(), QRect(QPoint(0, 0), target.size()));
        EXPECT_FALSE(mask.contains(QPoint(1, target.height() - 2)));
        EXPECT_FALSE(mask.contains(QPoint(target.width() - 2, target.height() - 2)));
        EXPECT_TRUE(mask.contains(QPoint(target.width() / 2, target.height() - 2)));
    };
    expectCardMask();
    s.rehearsal->answerNext();
    s.h.advance(0.04);
    expectCardMask();
    s.rehearsal->answerVideoActivated();
    s.h.advance(0.04);
    ASSERT_EQ(s.rehearsal->beat(), Beat::Drifting);
    expectCardMask();
    EXPECT_GT(heights.size(), 1u);

    // The pointer: its arrow's triangle and its label's capsule, not their boxes.
    QQuickItem* content = pointer->contentItem()->childItems().first();
    QQuickItem* arrow = findItem(content, QStringLiteral("pointerArrow"));
    QQuickItem* label = findItem(content, QStringLiteral("pointerLabel"));
    ASSERT_TRUE(arrow && label);
    QTest::qWait(400); // the label's width settles on the drifting text
    const QRectF arrowBox = arrow->mapRectToItem(content, QRectF(0, 0, arrow->width(), arrow->height()));
    const QRectF labelBox = label->mapRectToItem(content, QRectF(0, 0, label->width(), label->height()));
    const QRegion mask = pointer->mask();
    EXPECT_TRUE(mask.contains(QPoint(int(arrowBox.center().x()), int(arrowBox.top() + arrowBox.height() * 0.75))));
    EXPECT_FALSE(mask.contains(arrowBox.topLeft().toPoint() + QPoint(1, 1)));
    EXPECT_FALSE(mask.contains(QPoint(int(arrowBox.right()) - 2, int(arrowBox.top()) + 1)));
    EXPECT_TRUE(mask.contains(labelBox.center().toPoint()));
    EXPECT_TRUE(mask.contains(QPoint(int(labelBox.right()) - 2, int(labelBox.center().y()))));
    EXPECT_FALSE(mask.contains(labelBox.topLeft().toPoint() + QPoint(1, 1)));
    EXPECT_FALSE(mask.contains(QPoint(int(labelBox.right()) - 2, int(labelBox.bottom()) - 2)));

    // The tray icon shows through the dim.
    QQuickWindow* dim = s.stage->dimWindow();
    const QPoint icon = QPoint(v.x() + 611, v.y() + 13) - dim->geometry().topLeft();
    EXPECT_FALSE(dim->mask().contains(icon));
    EXPECT_TRUE(dim->mask().contains(QPoint(dim->width() / 2, dim->height() / 2)));
    s.surroundings.tray.reset();
    s.advanceStage(0.25);
    EXPECT_TRUE(dim->mask().isEmpty());

    for (const bool compositor : {true, false, true}) {
        SCOPED_TRACE(compositor ? "a compositor came" : "the compositor went");
        s.compositing.set(compositor, false);
        EXPECT_EQ(s.stage->translucent(), compositor);
        EXPECT_EQ(dim->color(), compositor ? QColor::fromRgbF(0, 0, 0, 0.75) : QColor(Qt::black));
        for (QQuickWindow* panel : {dim, coach, pointer})
            EXPECT_EQ(panel->requestedFormat().alphaBufferSize(), 8) << panel->objectName().toStdString();
        for (QQuickWindow* panel : {coach, pointer}) {
            EXPECT_EQ(panel->color(), compositor ? QColor(Qt::transparent) : QColor(Qt::black));
            EXPECT_EQ(panel->mask().isEmpty(), compositor) << panel->objectName().toStdString();
        }
    }
    s.rehearsal->skip();
}

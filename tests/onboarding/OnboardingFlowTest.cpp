#include "tavrine/onboarding/OnboardingFlow.h"
#include "fakes/FakePermissions.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/onboarding/OnboardingStage.h"

#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using namespace tavrine::test;
using Beat = OnboardingRehearsal::Beat;

namespace {

// Stands for the desktop's accessibility switch: "Enable" turns the fake grant on, unless there is no bus.
class SwitchingPrivacySettings final : public PrivacySettingsOpening {
public:
    explicit SwitchingPrivacySettings(FakePermissions& permissions) : m_permissions(permissions) {}
    QStringList anchors;
    bool busAnswers = true;
    void openAnchor(const QString& anchor) override {
        anchors << anchor;
        if (busAnswers && anchor == accessibilityAnchor)
            m_permissions.accessibility = true;
    }

private:
    FakePermissions& m_permissions;
};

struct FlowScene {
    explicit FlowScene(QStringList arguments = {QStringLiteral("tavrine")}) {
        host.resize(800, 600);
        host.show();
        OnboardingFlow::Hooks hooks;
        hooks.onComplete = [this] {
            calls << QStringLiteral("complete");
            activeAtComplete = h.session->isActive();
        };
        hooks.hideWindow = [this] {
            calls << QStringLiteral("hide");
            host.hide();
        };
        hooks.openFocusWindow = [this] {
            calls << QStringLiteral("open");
            activeAtOpen = h.session->isActive();
        };
        hooks.hostWindow = [this] { return &host; };
        flow = std::make_unique<OnboardingFlow>(
            *h.session, std::make_unique<OnboardingRehearsal>(h.clock),
            std::make_unique<OnboardingStage>(qml.engine(), h.clock, OnboardingStage::defaultParts()), defaults,
            &permissions, std::move(arguments), hooks);
    }
    ~FlowScene() {
        flow.reset();
        PrivacySettingsOpening::install(nullptr);
    }
    void goTo(OnboardingPage page) {
        while (flow->page() != page)
            flow->advance();
    }
    qint64 stored() const { return defaults.integerValue(QStringLiteral("onboardingPage")).value_or(-99); }
    // The stage is presented at once, and on screen once its windows have drawn.
    bool stageOnScreen() {
        return QTest::qWaitFor([this] { return flow->stage()->onScreen(); }, desktopWaitMs);
    }

    SessionHarness h;
    QmlHarness qml;
    MemoryUserDefaults defaults;
    FakePermissions permissions;
    QWindow host;
    QStringList calls;
    bool activeAtComplete = false;
    bool activeAtOpen = false;
    std::unique_ptr<OnboardingFlow> flow;
};

} // namespace

TEST(OnboardingFlow, RestoresOnlyAStoredPageAndOnlyWithoutTheOnboardingArgument) {
    struct Case {
        std::optional<qint64> stored;
        OnboardingPage expected;
    };
    const Case cases[] = {{std::nullopt, OnboardingPage::Welcome},
                          {0, OnboardingPage::Welcome},
                          {3, OnboardingPage::Permissions},
                          {8, OnboardingPage::Rehearsal},
                          {6, OnboardingPage::Ready},
                          {1, OnboardingPage::Welcome},
                          {2, OnboardingPage::Welcome},
                          {7, OnboardingPage::Welcome},
                          {9, OnboardingPage::Welcome},
                          {-1, OnboardingPage::Welcome},
                          {4, OnboardingPage::Welcome},
                          {100, OnboardingPage::Welcome}};
    for (const Case& c : cases) {
        FlowScene s;
        if (c.stored)
            s.defaults.setInteger(QStringLiteral("onboardingPage"), *c.stored);
        QSignalSpy focus(s.flow.get(), &OnboardingFlow::focusIntention);
        s.flow->windowShown();
        EXPECT_EQ(s.flow->page(), c.expected) << c.stored.value_or(-99);
        EXPECT_FALSE(s.flow->pageAnimated());
        EXPECT_TRUE(s.flow->movingForward());
        EXPECT_EQ(focus.count(), c.expected == OnboardingPage::Ready ? 1 : 0);
    }
    // A page stored as text opens welcome.
    {
        FlowScene s;
        s.defaults.setString(QStringLiteral("onboardingPage"), QStringLiteral("6"));
        s.flow->windowShown();
        EXPECT_EQ(s.flow->page(), OnboardingPage::Welcome);
    }
    // "--onboarding" opens welcome and keeps 6 until a change writes 3.
    FlowScene s({QStringLiteral("tavrine"), QStringLiteral("--onboarding")});
    s.defaults.setInteger(QStringLiteral("onboardingPage"), 6);
    s.flow->windowShown();
    EXPECT_EQ(s.flow->page(), OnboardingPage::Welcome);
    EXPECT_EQ(s.stored(), 6);
    s.flow->primaryAction();
    EXPECT_EQ(s.flow->page(), OnboardingPage::Permissions);
    EXPECT_EQ(s.stored(), 3);
    EXPECT_TRUE(s.flow->pageAnimated());
}

TEST(OnboardingFlow, StepsStopAtEitherEndWithoutTouchingTheDirection) {
    FlowScene s;
    QSignalSpy changes(s.flow.get(), &OnboardingFlow::pageChanged);
    s.flow->goBack();
    EXPECT_EQ(changes.count(), 0);
    EXPECT_TRUE(s.flow->movingForward());
    s.flow->advance();
    s.flow->goBack();
    EXPECT_FALSE(s.flow->movingForward());
    EXPECT_EQ(s.stored(), 0);
    s.flow->goBack();
    EXPECT_FALSE(s.flow->movingForward());
    s.goTo(OnboardingPage::Ready);
    EXPECT_EQ(s.stored(), 6);
    const int before = int(changes.count());
    s.flow->advance();
    EXPECT_EQ(changes.count(), before);
    EXPECT_TRUE(s.flow->movingForward());
}

TEST(OnboardingFlow, ReadsTheGrantsOnActivationAndAfterEnable) {
    FlowScene s;
    auto settings = std::make_shared<SwitchingPrivacySettings>(s.permissions);
    PrivacySettingsOpening::install(settings);
    s.permissions.accessibility = false;
    s.permissions.screenCapture = false;
    s.flow->windowShown();
    EXPECT_FALSE(s.flow->accessibilityGranted());
    EXPECT_FALSE(s.flow->screenGranted());

    s.permissions.screenCapture = true;
    s.flow->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(s.flow->screenGranted());
    s.flow->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(s.flow->screenGranted());

    // No accessibility bus: the row stays as it was and no caption shows.
    settings->busAnswers = false;
    s.flow->requestAccessibility();
    EXPECT_FALSE(s.flow->accessibilityGranted());
    EXPECT_FALSE(s.flow->restartCaptionShown());
    settings->busAnswers = true;
    QSignalSpy changed(s.flow.get(), &OnboardingFlow::permissionsChanged);
    s.flow->requestAccessibility();
    EXPECT_TRUE(s.flow->accessibilityGranted());
    EXPECT_TRUE(s.flow->restartCaptionShown());
    EXPECT_EQ(changed.count(), 1);
    s.flow->requestScreenRecording();
    EXPECT_EQ(settings->anchors,
              (QStringList{"Privacy_Accessibility", "Privacy_Accessibility", "Privacy_ScreenCapture"}));
}

TEST(OnboardingFlow, TheRehearsalRunsOnTheStageAndMovesTheFlowOnOnceItEnds) {
    FlowScene s({QStringLiteral("tavrine"), QStringLiteral("--fast-rehearsal")});
    // The stage is built ahead from the permissions page on, and presented as built.
    s.flow->windowShown();
    s.goTo(OnboardingPage::Permissions);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.flow->stage()->coachPanel() != nullptr; }, desktopWaitMs));
    s.goTo(OnboardingPage::Rehearsal);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.flow->stage()->coachPanel() != nullptr; }, desktopWaitMs));
    EXPECT_TRUE(s.flow->stage()->isPrepared());
    QQuickWindow* prepared = s.flow->stage()->designWindow();
    s.flow->primaryAction();
    EXPECT_DOUBLE_EQ(s.flow->rehearsal()->pace(), 0.35);
    EXPECT_TRUE(s.flow->rehearsalRunning());
    EXPECT_FALSE(s.flow->primaryEnabled());
    EXPECT_TRUE(s.flow->stage()->isPresented());
    EXPECT_EQ(s.flow->stage()->designWindow(), prepared);
    ASSERT_TRUE(s.stageOnScreen());
    EXPECT_FALSE(s.host.isVisible());
    // The disabled primary does nothing, Return included.
    s.flow->primaryAction();
    EXPECT_TRUE(s.flow->rehearsalRunning());
    // The stage's skip ends it; the host comes back on the next page, whole rather than sliding to it.
    s.flow->stage()->requestSkip();
    EXPECT_FALSE(s.flow->stage()->isPresented());
    EXPECT_TRUE(s.host.isVisible());
    EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);
    EXPECT_FALSE(s.flow->pageAnimated());
    // The pages before the rehearsal keep a stage built ahead; leaving them another way drops it.
    s.flow->goBack();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.flow->stage()->coachPanel() != nullptr; }, desktopWaitMs));
    s.flow->goBack();
    EXPECT_TRUE(s.flow->stage()->isPrepared());
    s.flow->goBack();
    EXPECT_FALSE(s.flow->stage()->isPrepared());
    EXPECT_EQ(s.flow->stage()->designWindow(), nullptr);
    s.goTo(OnboardingPage::Ready);
    // A rehearsal skipped before its stage came on screen ends with the window still there: the step slides.
    s.flow->goBack();
    s.flow->primaryAction();
    ASSERT_TRUE(s.flow->rehearsalRunning());
    s.flow->stage()->requestSkip();
    EXPECT_TRUE(s.host.isVisible());
    EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);
    EXPECT_TRUE(s.flow->pageAnimated());
    // A skip after the end changes nothing.
    s.flow->skipRehearsal();
    EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);

    // An end off the rehearsal page leaves the page alone.
    s.flow->goBack();
    s.flow->primaryAction();
    ASSERT_TRUE(s.flow->rehearsalRunning());
    s.flow->goBack();
    s.flow->skipRehearsal();
    EXPECT_EQ(s.flow->page(), OnboardingPage::Permissions);

    // A running session refuses the rehearsal: no stage, and the page moves on.
    s.flow->advance();
    s.h.start();
    QSignalSpy refused(s.flow.get(), &OnboardingFlow::rehearsalRefused);
    s.flow->primaryAction();
    EXPECT_EQ(refused.count(), 1);
    EXPECT_FALSE(s.flow->stage()->isPresented());
    EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);
}

TEST(OnboardingFlow, ClosingTheWindowOrQuittingDuringARehearsalKeepsItClosed) {
    const std::pair<const char*, std::function<void(OnboardingFlow&)>> ways[] = {
        {"closing", [](OnboardingFlow& flow) { flow.windowClosing(); }},
        {"quitting",
         [](OnboardingFlow&) {
             ASSERT_TRUE(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));
         }},
    };
    for (const auto& [name, leave] : ways) {
        SCOPED_TRACE(name);
        FlowScene s({QStringLiteral("tavrine"), QStringLiteral("--fast-rehearsal")});
        s.flow->windowShown();
        s.goTo(OnboardingPage::Rehearsal);
        s.flow->primaryAction();
        ASSERT_TRUE(s.flow->stage()->isPresented());
        ASSERT_TRUE(s.stageOnScreen());
        ASSERT_FALSE(s.host.isVisible());
        QSignalSpy visibility(&s.host, &QWindow::visibleChanged);
        leave(*s.flow);
        EXPECT_FALSE(s.flow->rehearsalRunning());
        EXPECT_FALSE(s.flow->stage()->isPresented());
        // Not even a moment on screen.
        EXPECT_EQ(visibility.count(), 0);
        EXPECT_FALSE(s.host.isVisible());
        EXPECT_EQ(s.stored(), 6);
        EXPECT_FALSE(s.h.session->rehearsalIntention().has_value());
        // Closing at any other time leaves the rehearsal alone, and opening again restores the page.
        s.flow->windowShown();
        EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);
    }
}

TEST(OnboardingFlow, TheReadyPageClosesFirstAndThenStartsWhatTheChecksAllow) {
    struct Case {
        QString intention;
        bool starts;
        bool focusMode;
    };
    const QString body400 = QStringLiteral(" ") + QString(398, u'a') + QStringLiteral(" ");
    const Case cases[] = {
        {QString(), true, true},
        {QStringLiteral("  \n\u2028 "), true, true},
        {QStringLiteral("Design the landing page"), true, false},
        {body400, true, false},
        {body400 + QStringLiteral("b"), false, false},
    };
    for (const Case& c : cases) {
        FlowScene s;
        s.goTo(OnboardingPage::Ready);
        s.flow->setIntention(c.intention);
        EXPECT_EQ(s.flow->primaryTitle(),
                  c.focusMode ? QStringLiteral("Start Focus mode") : QStringLiteral("Start focus session"));
        s.flow->primaryAction();
        EXPECT_EQ(s.calls, (QStringList{"complete", "hide", "open"})) << c.intention.size();
        EXPECT_FALSE(s.activeAtComplete);
        // The main window opens on the running session it shows, never on the setup it replaced.
        EXPECT_EQ(s.activeAtOpen, c.starts) << c.intention.size();
        EXPECT_EQ(s.h.session->isActive(), c.starts) << c.intention.size();
        EXPECT_EQ(s.stored(), 0);
        if (c.starts && c.focusMode) {
            EXPECT_EQ(s.h.session->intention(), QString());
        }
    }
    // A missing grant: the window still closes and nothing starts.
    {
        FlowScene s;
        s.h.observer->setPermissions(true, false);
        s.goTo(OnboardingPage::Ready);
        s.flow->finish(true);
        EXPECT_EQ(s.calls.first(), QStringLiteral("complete"));
        EXPECT_FALSE(s.h.session->isActive());
    }
    // A rehearsal still holding the session: nothing starts.
    {
        FlowScene s;
        s.goTo(OnboardingPage::Ready);
        ASSERT_TRUE(s.h.session->startRehearsal(QStringLiteral("Rehearse"), 30, nullptr));
        s.flow->finish(true);
        EXPECT_FALSE(s.h.session->isActive());
        s.h.session->endRehearsal();
    }
    // "Not now": closed, nothing started, back to welcome next time; the typed intention stays.
    FlowScene s;
    s.goTo(OnboardingPage::Ready);
    s.flow->setIntention(QStringLiteral("Write"));
    s.flow->notNow();
    EXPECT_EQ(s.calls, (QStringList{"complete", "hide", "open"}));
    EXPECT_FALSE(s.h.session->isActive());
    EXPECT_EQ(s.stored(), 0);
    EXPECT_EQ(s.h.session->intention(), QStringLiteral("Write"));
}

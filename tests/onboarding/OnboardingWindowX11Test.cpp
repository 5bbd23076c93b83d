// The first-run window on the test display, driven by real input (xdotool through XTest): it has no window
// manager frame, its top strip moves it, Return steps forward, Escape on the stage brings it back on the ready
// page, its intention's caret stops blinking until a key, and Return in the intention field starts nothing while
// the primary button starts the session.
#include "fakes/FakePermissions.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/core/Clock.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/platform/LinuxPermissions.h"
#include "tavrine/platform/LinuxPrivacySettings.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/ui/CaretBlink.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::onboarding;
using namespace tavrine::test;

namespace {

bool xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// What the window manager, the X server and the buses do takes its time on a loaded machine: a wait ends as soon as
// its condition holds, the limit only bounds a failure.
bool waitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, desktopWaitMs);
}

struct X11Scene {
    // The grants are the fake's unless the test reads the desktop's.
    explicit X11Scene(platform::Permissions* grants = nullptr) {
        window.setTitle(QStringLiteral("Welcome to Tavrine"));
        window.resize(800, 600);
        OnboardingFlow::Hooks hooks;
        hooks.hideWindow = [this] { window.hide(); };
        hooks.hostWindow = [this] { return &window; };
        // The stage runs on the real clock here: the beats are paced by the fast rehearsal.
        flow = std::make_unique<OnboardingFlow>(
            *h.session, std::make_unique<OnboardingRehearsal>(Clock::system()),
            std::make_unique<OnboardingStage>(qml.engine(), Clock::system(), OnboardingStage::defaultParts()),
            h.defaults, grants ? grants : &permissions,
            QStringList{QStringLiteral("tavrine"), QStringLiteral("--fast-rehearsal")}, hooks);
        root =
            qml.create(ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QStringLiteral("OnboardingWindowRoot")),
                       {{QStringLiteral("flow"), QVariant::fromValue<QObject*>(flow.get())}});
        auto* item = qobject_cast<QQuickItem*>(root.get());
        item->setSize(QSizeF(800, 600));
        item->setParentItem(window.contentItem());
        window.show();
        window.requestActivate();
    }
    ~X11Scene() {
        flow->stage()->dismiss();
        root.reset();
    }
    QString id() const { return QString::number(window.winId()); }
    QQuickItem* item(const char* name) const { return findItem(root.get(), QString::fromLatin1(name)); }
    bool active() { return QTest::qWaitForWindowActive(&window, desktopWaitMs); }
    // The page area drops every press while a page slides in or out. The slide runs on the render thread, so no
    // item's position shows it, and it lasts a number of frames, however slowly a loaded machine draws them.
    bool pageSettled() const {
        QObject* area = findObject(root.get(), QStringLiteral("onboardingPageArea"));
        return area && waitFor([area] { return !area->property("busy").toBool(); });
    }
    void click(QQuickItem* target) {
        ASSERT_TRUE(target);
        EXPECT_TRUE(pageSettled()) << qPrintable(target->objectName());
        const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), id(), QString::number(int(centre.x())),
                 QString::number(int(centre.y())), QStringLiteral("click"), QStringLiteral("1")});
    }

    SessionHarness h;
    QmlHarness qml;
    FakePermissions permissions;
    QQuickWindow window;
    std::unique_ptr<OnboardingFlow> flow;
    std::unique_ptr<QObject> root;
};

// The desktop's accessibility switch, read and set on the accessibility bus as a desktop's settings would.
std::optional<bool> accessibilitySwitch(std::optional<bool> set = std::nullopt) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), set ? QStringLiteral("Set") : QStringLiteral("Get"));
    QVariantList arguments{QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled")};
    if (set)
        arguments << QVariant::fromValue(QDBusVariant(*set));
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    if (set)
        return set;
    return reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

} // namespace

TEST(OnboardingWindowX11, EnableSwitchesTheDesktopsAccessibilityOnAndChecksTheRow) {
    ASSERT_EQ(accessibilitySwitch(false), false) << "no accessibility bus on the test display";
    PrivacySettingsOpening::install(std::make_shared<platform::LinuxPrivacySettings>());
    platform::LinuxPermissions grants;
    {
        X11Scene s(&grants);
        ASSERT_TRUE(s.active());
        s.flow->advance();
        QQuickItem* row = s.item("onboardingAccessibility");
        QQuickItem* caption = s.item("onboardingRestartCaption");
        ASSERT_TRUE(row && caption);
        EXPECT_FALSE(row->property("granted").toBool());
        EXPECT_FALSE(caption->isVisible());
        // X11 lets any client read the screen: that row is checked and has nothing to press.
        EXPECT_TRUE(s.item("onboardingScreenRecording")->property("granted").toBool());
        EXPECT_FALSE(s.item("onboardingEnableScreenRecording"));

        // Pressed right after the page read the grant: the answer must not be one kept from before the switch.
        s.click(s.item("onboardingEnableAccessibility"));
        EXPECT_TRUE(waitFor([&] { return row->property("granted").toBool(); }));
        EXPECT_EQ(accessibilitySwitch(), true);
        EXPECT_TRUE(caption->isVisible());
        EXPECT_FALSE(s.item("onboardingEnableAccessibility"));
    }
    PrivacySettingsOpening::install(nullptr);
}

TEST(OnboardingWindowX11, FramelessMovedByItsStripAndSteppedByReturn) {
    X11Scene s;
    ASSERT_TRUE(s.active());
    EXPECT_TRUE(s.window.flags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(s.window.title(), QStringLiteral("Welcome to Tavrine"));
    if (platform::X11Connection* x11 = platform::X11Connection::shared()) {
        const std::optional<QMargins> extents = x11->frameExtents(s.window.winId());
        EXPECT_TRUE(!extents || extents->top() == 0) << extents->top();
    }
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(waitFor([&] { return s.flow->page() == OnboardingPage::Permissions; }));
    EXPECT_EQ(s.h.defaults.integerValue(QStringLiteral("onboardingPage")), 3);
    EXPECT_TRUE(s.pageSettled());
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(waitFor([&] { return s.flow->page() == OnboardingPage::Rehearsal; }));
    EXPECT_TRUE(s.pageSettled());

    // The strip hands the move to the window manager, which moves the window with the pointer once it has taken
    // it; the window hears of its place when the move ends. So the pointer goes on, a step at a time as a hand
    // would, until the X server shows the window moved, and only then lets go.
    platform::X11Connection* x11 = platform::X11Connection::shared();
    ASSERT_TRUE(x11);
    const QPoint before = s.window.position();
    const std::optional<QRect> start = x11->rootGeometry(s.window.winId());
    ASSERT_TRUE(start);
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), s.id(), QStringLiteral("400"),
                         QStringLiteral("12"), QStringLiteral("mousedown"), QStringLiteral("1")}));
    int step = 0;
    EXPECT_TRUE(waitFor([&] {
        // Some way off, then to and fro on the spot.
        const bool on = step < 40 || step % 2 == 0;
        ++step;
        xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("--"),
                 on ? QStringLiteral("4") : QStringLiteral("-4"), on ? QStringLiteral("3") : QStringLiteral("-3")});
        const std::optional<QRect> now = x11->rootGeometry(s.window.winId());
        return now && now->topLeft() != start->topLeft();
    }));
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    EXPECT_TRUE(waitFor([&] { return s.window.position() != before; })) << before.x() << "," << before.y();

    QObject* strip = findObject(s.root.get(), QStringLiteral("onboardingDragStrip"));
    ASSERT_TRUE(strip);
    EXPECT_TRUE(waitFor([&] { return !strip->property("active").toBool(); }));
    // Keys reach the window right after the move, with no click in it first: Return starts the rehearsal.
    EXPECT_TRUE(s.active());
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(waitFor([&] { return s.flow->rehearsalRunning(); }));
    s.flow->skipRehearsal();
    EXPECT_TRUE(waitFor([&] { return s.flow->page() == OnboardingPage::Ready; }));
}

TEST(OnboardingWindowX11, EscapeOnTheStageComesBackOnReadyWhereTheButtonStartsTheSession) {
    X11Scene s;
    ASSERT_TRUE(s.active());
    s.flow->advance();
    // From the permissions page on, the stage is built and drawn once ahead, and none of it shows.
    OnboardingStage* stage = s.flow->stage();
    EXPECT_TRUE(waitFor([&] {
        const auto drawn = [](QQuickWindow* window) {
            return window && window->isSceneGraphInitialized() && !window->isVisible();
        };
        return drawn(stage->designWindow()) && drawn(stage->coachPanel()) && drawn(stage->pointerPanel());
    }));
    QQuickWindow* prepared = stage->designWindow();
    s.flow->advance();
    s.click(s.item("onboardingStartRehearsal"));
    ASSERT_TRUE(waitFor([&] { return s.flow->stage()->isPresented(); }));
    EXPECT_EQ(stage->designWindow(), prepared);
    EXPECT_TRUE(waitFor([&] { return !s.window.isVisible(); }));
    // Escape goes to the stage's window that has the keyboard, once the window manager has given it one.
    ASSERT_TRUE(waitFor([&] {
        const QWindow* focus = QGuiApplication::focusWindow();
        return focus && (focus == stage->designWindow() || focus == stage->videoWindow());
    }));
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(waitFor([&] { return !stage->isPresented(); }));
    EXPECT_TRUE(waitFor([&] { return s.window.isVisible(); }));
    EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);

    s.window.requestActivate();
    ASSERT_TRUE(s.active());
    QQuickItem* field = s.item("onboardingIntention");
    ASSERT_TRUE(field);
    s.click(field);
    ASSERT_TRUE(waitFor([&] { return field->hasActiveFocus(); }));
    // The caret, left alone, stops blinking and stays drawn; the keys typed below blink it again.
    auto* blink =
        qobject_cast<ui::CaretBlink*>(findObject(s.root.get(), QStringLiteral("onboardingIntentionCaretBlink")));
    ASSERT_TRUE(blink);
    for (int steps = 0; blink->blinking() && steps < 1000; ++steps)
        blink->step();
    EXPECT_FALSE(blink->blinking());
    EXPECT_TRUE(blink->shown());
    // Return in the field starts nothing: the key typed after it shows that it was handled.
    xdotool({QStringLiteral("type"), QStringLiteral("--window"), s.id(), QStringLiteral("Pla")});
    xdotool({QStringLiteral("key"), QStringLiteral("--window"), s.id(), QStringLiteral("Return")});
    xdotool({QStringLiteral("type"), QStringLiteral("--window"), s.id(), QStringLiteral("n")});
    ASSERT_TRUE(waitFor([&] { return field->property("text").toString() == QStringLiteral("Plan"); }))
        << qPrintable(field->property("text").toString());
    EXPECT_TRUE(blink->blinking());
    EXPECT_FALSE(s.h.session->isActive());
    EXPECT_TRUE(s.window.isVisible());
    s.click(s.item("onboardingGetStarted"));
    EXPECT_TRUE(waitFor([&] { return s.h.session->isActive(); }));
    EXPECT_EQ(s.h.session->intention(), QStringLiteral("Plan"));
    EXPECT_FALSE(s.window.isVisible());
}

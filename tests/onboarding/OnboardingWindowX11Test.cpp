// The first-run window on the test display, driven by real input (xdotool through XTest): it has no window
// manager frame, its top strip moves it, Return steps forward, Escape on the stage brings it back on the ready
// page, and Return in the intention field starts nothing while the primary button starts the session.
#include "fakes/FakePermissions.h"
#include "session/SessionHarness.h"
#include "support/QmlTestSupport.h"
#include "tavrine/core/Clock.h"
#include "tavrine/model/PrivacySettingsOpening.h"
#include "tavrine/onboarding/OnboardingFlow.h"
#include "tavrine/onboarding/OnboardingStage.h"
#include "tavrine/platform/LinuxPermissions.h"
#include "tavrine/platform/LinuxPrivacySettings.h"
#include "tavrine/platform/x11/X11Connection.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>
#include <utility>

using namespace tavrine;
using namespace tavrine::onboarding;
using namespace tavrine::test;

namespace {

bool xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
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
            h.defaults, grants ? grants : &permissions, QStringList{QStringLiteral("tavrine"), QStringLiteral("--fast-rehearsal")},
            hooks);
        root = qml.create(ui::componentUrl(QStringLiteral("Tavrine.Onboarding"), QStringLiteral("OnboardingWindowRoot")),
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
    void click(QQuickItem* target) {
        // A page still sliding in (its first showing is slow under a sanitizer) would take the click elsewhere.
        QPointF last = target->mapToScene(QPointF());
        const bool settled = QTest::qWaitFor(
            [&] {
                QTest::qWait(100);
                const QPointF now = target->mapToScene(QPointF());
                return std::exchange(last, now) == now;
            },
            3000);
        EXPECT_TRUE(settled) << qPrintable(target->objectName());
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
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties"),
        set ? QStringLiteral("Set") : QStringLiteral("Get"));
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
        ASSERT_TRUE(QTest::qWaitForWindowActive(&s.window));
        s.flow->advance();
        QTest::qWait(400);
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
        EXPECT_TRUE(QTest::qWaitFor([&] { return row->property("granted").toBool(); }, 3000));
        EXPECT_EQ(accessibilitySwitch(), true);
        EXPECT_TRUE(caption->isVisible());
        EXPECT_FALSE(s.item("onboardingEnableAccessibility"));
    }
    PrivacySettingsOpening::install(nullptr);
}

TEST(OnboardingWindowX11, FramelessMovedByItsStripAndSteppedByReturn) {
    X11Scene s;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.window));
    EXPECT_TRUE(s.window.flags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(s.window.title(), QStringLiteral("Welcome to Tavrine"));
    if (platform::X11Connection* x11 = platform::X11Connection::shared()) {
        const std::optional<QMargins> extents = x11->frameExtents(s.window.winId());
        EXPECT_TRUE(!extents || extents->top() == 0) << extents->top();
    }
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.flow->page() == OnboardingPage::Permissions; }, 3000));
    EXPECT_EQ(s.h.defaults.integerValue(QStringLiteral("onboardingPage")), 3);
    QTest::qWait(400);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.flow->page() == OnboardingPage::Rehearsal; }, 3000));
    const QPoint before = s.window.position();
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), s.id(), QStringLiteral("400"),
                         QStringLiteral("12"), QStringLiteral("mousedown"), QStringLiteral("1")}));
    for (int step = 1; step <= 6; ++step) {
        xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("--"), QStringLiteral("10"),
                 QStringLiteral("8")});
        QTest::qWait(30);
    }
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.window.position() != before; }, 3000))
        << before.x() << "," << before.y();

    QTest::qWait(300);
    QObject* strip = findObject(s.root.get(), QStringLiteral("onboardingDragStrip"));
    ASSERT_TRUE(strip);
    EXPECT_FALSE(strip->property("active").toBool());
    // Keys reach the window right after the move, with no click in it first: Return starts the rehearsal.
    EXPECT_TRUE(QTest::qWaitForWindowActive(&s.window));
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.flow->rehearsalRunning(); }, 3000));
    s.flow->skipRehearsal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.flow->page() == OnboardingPage::Ready; }, 3000));
}

TEST(OnboardingWindowX11, EscapeOnTheStageComesBackOnReadyWhereTheButtonStartsTheSession) {
    X11Scene s;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.window));
    s.flow->advance();
    s.flow->advance();
    QTest::qWait(400);
    s.click(s.item("onboardingStartRehearsal"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.flow->stage()->isPresented(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.window.isVisible(); }, 3000));
    QTest::qWait(500);
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !s.flow->stage()->isPresented(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.window.isVisible(); }, 3000));
    EXPECT_EQ(s.flow->page(), OnboardingPage::Ready);

    s.window.requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.window));
    QTest::qWait(400);
    QQuickItem* field = s.item("onboardingIntention");
    ASSERT_TRUE(field);
    s.click(field);
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasActiveFocus(); }, 3000));
    xdotool({QStringLiteral("type"), QStringLiteral("--window"), s.id(), QStringLiteral("Plan")});
    xdotool({QStringLiteral("key"), QStringLiteral("--window"), s.id(), QStringLiteral("Return")});
    QTest::qWait(300);
    EXPECT_FALSE(s.h.session->isActive());
    EXPECT_TRUE(s.window.isVisible());
    s.click(s.item("onboardingGetStarted"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.h.session->isActive(); }, 3000));
    EXPECT_EQ(s.h.session->intention(), QStringLiteral("Plan"));
    EXPECT_FALSE(s.window.isVisible());
}

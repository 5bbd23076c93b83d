// The nudge's panels in real windows on the test display, beside another application's window that has the
// focus: the notch panel floats above it on every desktop, never takes the focus, even when clicked, and goes
// away once its close animation has played; the floating card reports the pointer over it although it is not
// the active window.
#include "fakes/FakeMotionPreference.h"
#include "nudge/NudgedSession.h"
#include "support/QmlTestSupport.h"
#include "support/TestSupport.h"
#include "tavrine/nudge/NotchNudgeController.h"
#include "tavrine/nudge/NudgeHoverState.h"
#include "tavrine/speech/NudgeVoiceMeter.h"
#include "tavrine/ui/QmlEngineSetup.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>

using namespace tavrine;
using namespace tavrine::test;

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        ADD_FAILURE() << program.toStdString() << ' ' << arguments.join(' ').toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString xdotool(const QStringList& arguments) {
    return run(QStringLiteral("xdotool"), arguments);
}

QString id(const QWindow& window) {
    return QString::number(window.winId());
}

WId activeWindow() {
    return xdotool({QStringLiteral("getactivewindow")}).toULongLong();
}

QString property(const QWindow& window, const char* name) {
    return run(QStringLiteral("xprop"), {QStringLiteral("-id"), id(window), QString::fromLatin1(name)});
}

// "IsViewable", "IsUnviewable" (mapped under an unmapped frame) or "IsUnMapped".
QString mapState(const QWindow& window) {
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id(window)});
    const auto match = QRegularExpression(QStringLiteral("Map State: (\\w+)")).match(info);
    return match.captured(1);
}

// The managed windows from the bottom of the stack to its top.
QList<WId> stacking() {
    const QString list =
        run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    QList<WId> windows;
    auto it = QRegularExpression(QStringLiteral("0x[0-9a-f]+")).globalMatch(list);
    while (it.hasNext())
        windows.append(it.next().captured(0).toULongLong(nullptr, 16));
    return windows;
}

bool above(const QWindow& upper, const QWindow& lower) {
    const QList<WId> stack = stacking();
    return stack.indexOf(upper.winId()) > stack.indexOf(lower.winId()) && stack.contains(lower.winId());
}

// Another application's window, active.
struct OtherWindow {
    OtherWindow() {
        window.setTitle(QStringLiteral("Editor"));
        window.setColor(Qt::darkCyan);
        window.setGeometry(100, 300, 600, 500);
        window.show();
        window.requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void activate() {
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id(window)});
        EXPECT_TRUE(waitUntil([&] { return activeWindow() == window.winId(); })) << "active window";
    }
    QQuickWindow window;
};

const QString kReason = QStringLiteral("Videos can wait. Back to the quarterly report?");

// The floating card over `session` as the shell shows it: in a panel over everything that never takes the focus.
struct FloatingCard {
    FloatingCard(QmlHarness& harness, FocusSession& session, nudge::NudgeHoverState& hover) {
        view = harness.create(ui::componentUrl(QStringLiteral("Tavrine.Nudge"), QStringLiteral("NudgeView")),
                              {{QStringLiteral("session"), QVariant::fromValue<QObject*>(&session)},
                               {QStringLiteral("hover"), QVariant::fromValue<QObject*>(&hover)}});
        card = qobject_cast<QQuickItem*>(view.get());
        if (!card) {
            ADD_FAILURE() << "the card did not load";
            return;
        }
        panel.setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
        panel.setGeometry(QRect(QPoint(1400, 40), QSize(int(card->implicitWidth()), int(card->implicitHeight()))));
        card->setSize(panel.size());
        card->setParentItem(panel.contentItem());
        panel.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }
    // The view is the harness's, not the window's.
    ~FloatingCard() {
        if (card)
            card->setParentItem(nullptr);
    }
    QQuickWindow panel;
    std::unique_ptr<QObject> view;
    QQuickItem* card = nullptr;
};

} // namespace

TEST(NotchPanelOnX11, FloatsOverEveryDesktopNeverActivatesAndUnmapsAfterItsCloseAnimation) {
    QmlHarness harness;
    OtherWindow other;
    NudgedSession nudged;
    nudged.nudge(kReason);
    FrameTimeOn frameTime(nudged.h->clock);
    FakeMotionPreference motion;
    nudge::NotchNudgeController controller(*nudged.h->session, harness.engine(), nudged.h->clock,
                                           nudge::NotchNudgeController::Options{true, &motion});
    controller.show(QRectF(0, 0, 1920, 1200), QSizeF(200, 32));
    QQuickWindow* panel = controller.window();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    EXPECT_TRUE(waitUntil([&] { return controller.state().isOpen(); }));
    nudged.h->advance(1); // the silhouette has sprung open
    EXPECT_EQ(panel->geometry().top(), 0);
    EXPECT_EQ(panel->geometry().center().x(), 959);

    // Above the active window, on every desktop, and the focus stays where it was.
    EXPECT_TRUE(waitUntil([&] { return property(*panel, "_NET_WM_DESKTOP").endsWith(QLatin1String("= 4294967295")); }));
    EXPECT_TRUE(
        waitUntil([&] { return property(*panel, "_NET_WM_STATE").contains(QLatin1String("_NET_WM_STATE_ABOVE")); }));
    EXPECT_TRUE(waitUntil([&] { return above(*panel, other.window); }));
    EXPECT_EQ(activeWindow(), other.window.winId());

    // Activating the other window again does not bring it over the panel.
    other.activate();
    EXPECT_TRUE(above(*panel, other.window));

    // A click on the panel's empty close row leaves the focus with the other window.
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), id(*panel), QStringLiteral("80"),
             QStringLiteral("12"), QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(300);
    EXPECT_EQ(activeWindow(), other.window.winId());
    EXPECT_FALSE(panel->isActive());

    // On another desktop the panel is still there; the other window is not.
    if (xdotool({QStringLiteral("get_num_desktops")}).toInt() > 1) {
        xdotool({QStringLiteral("set_desktop"), QStringLiteral("1")});
        EXPECT_TRUE(waitUntil([&] { return mapState(other.window) != QStringLiteral("IsViewable"); }));
        EXPECT_EQ(mapState(*panel), QStringLiteral("IsViewable"));
        xdotool({QStringLiteral("set_desktop"), QStringLiteral("0")});
        EXPECT_TRUE(waitUntil([&] { return mapState(other.window) == QStringLiteral("IsViewable"); }))
            << mapState(other.window).toStdString();
        other.activate();
    } else {
        ADD_FAILURE() << "the test desktop has a single desktop";
    }

    // An animated hide keeps the panel mapped while the silhouette closes, then unmaps it.
    controller.hide(true);
    auto* openness = findObject(controller.rootItem(), QStringLiteral("notchOpenness"));
    ASSERT_TRUE(openness);
    nudged.h->advance(0.1);
    EXPECT_TRUE(waitUntil([&] { return openness->property("progress").toDouble() < 1; }));
    EXPECT_GT(openness->property("progress").toDouble(), 0);
    EXPECT_EQ(mapState(*panel), QStringLiteral("IsViewable"));
    nudged.h->advance(0.36);
    EXPECT_TRUE(waitUntil([&] { return mapState(*panel) == QStringLiteral("IsUnMapped"); }))
        << mapState(*panel).toStdString();
    EXPECT_TRUE(waitUntil([&] { return openness->property("progress").toDouble() == 0; }));
    EXPECT_EQ(activeWindow(), other.window.winId());
    EXPECT_TRUE(harness.warnings().isEmpty()) << harness.warnings().join('\n').toStdString();
}

TEST(NudgeCardOnX11, HoverIsReportedWhileAnotherWindowIsActive) {
    QmlHarness harness;
    OtherWindow other;
    NudgedSession nudged;
    nudged.nudge(kReason);
    nudge::NudgeHoverState hover;
    FloatingCard floating(harness, *nudged.h->session, hover);
    ASSERT_TRUE(floating.card);
    EXPECT_EQ(activeWindow(), other.window.winId());

    const QRect frame = floating.panel.geometry();
    xdotool({QStringLiteral("mousemove"), QString::number(frame.center().x()), QString::number(frame.center().y())});
    EXPECT_TRUE(waitUntil([&] { return hover.card(); }));
    EXPECT_EQ(activeWindow(), other.window.winId());
    xdotool({QStringLiteral("mousemove"), QStringLiteral("400"), QStringLiteral("500")});
    EXPECT_TRUE(waitUntil([&] { return !hover.card(); }));
    EXPECT_TRUE(harness.warnings().isEmpty()) << harness.warnings().join('\n').toStdString();
}

// The processor time of a glowing card over ten seconds of real time, printed; run by hand with
// --gtest_also_run_disabled_tests (a measurement, not a check).
TEST(NudgeCardOnX11, DISABLED_GlowCpuOverTenSeconds) {
    QmlHarness harness;
    OtherWindow other;
    NudgedSession nudged;
    nudged.nudge(kReason);
    nudge::NudgeHoverState hover;
    auto& meter = nudged.h->session->nudgeVoice();
    meter.reset();
    meter.setPending(false);
    QElapsedTimer voice;
    voice.start();
    // A voice-like loudness: syllables of about 0.2 s.
    meter.attach(meter.token(), [&] { return float(0.3 + 0.3 * std::sin(voice.elapsed() / 1000.0 * 31.4)); }, {});
    FloatingCard floating(harness, *nudged.h->session, hover);
    ASSERT_TRUE(floating.card);
    ASSERT_TRUE(meter.isVoiced());
    QTest::qWait(1000);
    auto cpu = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double before = cpu();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(10000);
    const double used = cpu() - before;
    std::printf("glowing card: %.2f s of processor time in %.2f s (%.1f %% of a core)\n", used, wall.elapsed() / 1000.0,
                100 * used / (wall.elapsed() / 1000.0));
}

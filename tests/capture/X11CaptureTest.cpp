#include "tavrine/capture/ActivityObserver.h"
#include "tavrine/platform/AtspiAccessibilityBus.h"
#include "tavrine/platform/LinuxPermissions.h"
#include "tavrine/platform/x11/X11Connection.h"

#include "Printing.h"
#include "TestWindowProcess.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tavrine;
using tavrine::test::TestWindowProcess;

namespace {

// A limit of real time for what the window manager, the accessibility bus and the other processes do: generous,
// because these tests run on busy machines under a sanitizer; a wait ends as soon as its condition holds.
constexpr double waitLimit = 30.0;

const QStringList windowLines{QStringLiteral("Harbour inspection schedule"),
                              QStringLiteral("Crane maintenance on Thursday")};

std::optional<platform::XWindowId> activeWindowOf(qint32 pid) {
    platform::X11Connection& x11 = *platform::X11Connection::shared();
    std::optional<platform::XWindowId> found;
    test::waitUntil(
        [&] {
            const auto active = x11.activeWindow();
            if (active && x11.windowPid(*active) == pid)
                found = active;
            return found.has_value();
        },
        waitLimit);
    return found;
}

// Accessibility on for the desktop, and the window's tree on the bus.
bool treeShown(qint32 pid) {
    if (!platform::LinuxPermissions().requestAccessibility())
        return false;
    platform::AtspiAccessibilityBus bus;
    return test::waitUntil([&] { return bus.application(pid).has_value(); }, waitLimit);
}

std::optional<AccessibilityCaptureDebug> captureNow(ActivityObserver& observer) {
    // Recognition of a whole window takes seconds of one core, many more under a sanitizer on a busy machine.
    auto outcome = test::run(observer.captureFrontmostActivity(true), 60);
    EXPECT_TRUE(outcome.finished);
    return outcome.value ? *outcome.value : std::nullopt;
}

} // namespace

TEST(X11Capture, CapturesAQtWindowWithItsTreeScreenshotAndText) {
    TestWindowProcess window(QStringLiteral("Harbour report"), windowLines);
    ASSERT_TRUE(window.isReady());
    const auto id = activeWindowOf(window.pid());
    ASSERT_TRUE(id);
    ASSERT_TRUE(treeShown(window.pid()));
    const auto windowClass = platform::X11Connection::shared()->windowClass(*id);
    ASSERT_TRUE(windowClass);

    ActivityObserver observer;
    EXPECT_TRUE(observer.accessibilityTrusted());
    EXPECT_TRUE(observer.screenCaptureAllowed());
    EXPECT_EQ(observer.currentWindowIdentity(),
              (ActivityWindowIdentity{windowClass->className, window.pid(), *id, QStringLiteral("Harbour report")}));

    const auto result = captureNow(observer);
    ASSERT_TRUE(result);
    const ActivityEvidence& evidence = result->evidence;
    EXPECT_EQ(evidence.app, windowClass->className);
    EXPECT_EQ(evidence.bundle, windowClass->className);
    EXPECT_EQ(evidence.pid, window.pid());
    EXPECT_EQ(evidence.title, QStringLiteral("Harbour report"));
    EXPECT_EQ(evidence.windowID, *id);
    EXPECT_FALSE(evidence.issue) << evidence.issue->toStdString();
    ASSERT_TRUE(evidence.windowFrame);
    EXPECT_EQ(evidence.windowFrame->size(), QSizeF(900, 700));
    EXPECT_EQ(evidence.focusedDescription, QStringLiteral("draft harbour memo"));
    // The frame's label is the window title: the focused text is the first candidate left for the subject.
    EXPECT_TRUE(evidence.accessibilityText.endsWith(QStringLiteral("Subject: \"draft harbour memo\".")))
        << evidence.accessibilityText.toStdString();
    EXPECT_EQ(result->accessibilityAttempts, 1) << "an application that is no browser is walked once";
    EXPECT_EQ(evidence.capturePath, QStringLiteral("window+ocr"));
    ASSERT_TRUE(evidence.imagePNG);
    EXPECT_EQ(evidence.imageFingerprint.size(), 512);
    EXPECT_TRUE(evidence.text.contains(QStringLiteral("Harbour inspection schedule"))) << evidence.text.toStdString();
    EXPECT_GT(evidence.ocrCharacters, 0);
}

TEST(X11Capture, BringsTheWindowBackRaisedOrByItsTab) {
    TestWindowProcess work(QStringLiteral("Harbour report"), windowLines);
    ASSERT_TRUE(work.isReady());
    const auto workWindow = activeWindowOf(work.pid());
    ASSERT_TRUE(workWindow);
    ASSERT_TRUE(treeShown(work.pid()));
    TestWindowProcess detour(QStringLiteral("Detour"), {QStringLiteral("Something else")}, true);
    ASSERT_TRUE(detour.isReady());
    const auto detourWindow = activeWindowOf(detour.pid());
    ASSERT_TRUE(detourWindow);

    ActivityObserver observer;
    test::LogCapture log;
    const QString bundle = platform::X11Connection::shared()->windowClass(*workWindow)->className;
    const auto bringBack = [&](const QString& title) {
        log.clear();
        platform::X11Connection::shared()->activate(*detourWindow);
        EXPECT_TRUE(activeWindowOf(detour.pid()));
        observer.returnToWindow({bundle, work.pid(), *workWindow, title});
        test::waitUntil([&] { return !log.messages(QStringLiteral("Focus")).isEmpty(); }, waitLimit);
        const QStringList lines = log.messages(QStringLiteral("Focus"));
        return lines.isEmpty() ? QString() : lines.first();
    };

    EXPECT_EQ(bringBack(QStringLiteral("Harbour report")),
              QStringLiteral("bringToFront bundle=<private> titleLength=14 raised window windows=1 frontmost=0 "
                             "activate=true"));
    // The request is sent; the window manager acts on it in its own time.
    EXPECT_EQ(activeWindowOf(work.pid()), workWindow);

    const QString pressed = bringBack(QStringLiteral("Crane schedule - Harbour"));
    EXPECT_TRUE(pressed.startsWith(QStringLiteral("bringToFront bundle=<private> titleLength=24 pressed page tab "
                                                  "status=0 windows=1 nodes=")))
        << pressed.toStdString();
    EXPECT_TRUE(pressed.endsWith(QStringLiteral("matches=[\"page tab\": 1] frontmost=0 activate=true")))
        << pressed.toStdString();
    EXPECT_TRUE(work.waitForLine(QStringLiteral("tab Crane schedule")));

    // The window's "Send invoice" button occurs in this title; it is no tab and is never pressed.
    const QString refused = bringBack(QStringLiteral("Send invoice to Dana"));
    EXPECT_TRUE(refused.contains(QStringLiteral(" no tab found windows=1 "))) << refused.toStdString();
    EXPECT_TRUE(refused.endsWith(QStringLiteral("frontmost=0 activate=true"))) << refused.toStdString();
    EXPECT_FALSE(work.waitForLine(QStringLiteral("button Send invoice"), 0.5));
}

TEST(X11Capture, CapturesAWindowWithoutAccessibilityByItsText) {
    ASSERT_TRUE(platform::LinuxPermissions().requestAccessibility());
    TestWindowProcess plain(QStringLiteral("Plain notes"), windowLines, true);
    ASSERT_TRUE(plain.isReady());
    ASSERT_TRUE(activeWindowOf(plain.pid()));

    ActivityObserver observer;
    const auto result = captureNow(observer);
    ASSERT_TRUE(result);
    const ActivityEvidence& evidence = result->evidence;
    EXPECT_EQ(evidence.bundle, QStringLiteral("TavrinePlainWindow"))
        << "pid " << evidence.pid << " plain " << plain.pid() << " window " << evidence.windowID.value_or(0);
    EXPECT_EQ(evidence.title, QStringLiteral("Plain notes"));
    EXPECT_FALSE(evidence.issue);
    EXPECT_EQ(result->accessibilityAttempts, 1);
    EXPECT_EQ(evidence.capturePath, QStringLiteral("window+ocr"));
    EXPECT_TRUE(evidence.text.contains(QStringLiteral("Crane maintenance on Thursday"))) << evidence.text.toStdString();
}

#include "tavrine/capture/ActivityObserver.h"

#include "CaptureDesk.h"
#include "TextImages.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include "Printing.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tavrine;
using tavrine::test::CaptureDesk;
using tavrine::test::FakeAccessibilityBus;
namespace role = tavrine::platform::role;

namespace {

std::optional<AccessibilityCaptureDebug> captureOnce(ActivityObserver& observer) {
    auto outcome = test::run(observer.captureFrontmostActivity(true), 20);
    EXPECT_TRUE(outcome.finished);
    test::rethrow(outcome);
    return outcome.value ? *outcome.value : std::nullopt;
}

} // namespace

TEST(ActivityObserver, NeverCapturesItselfButCapturesAnApplicationWithoutAnId) {
    CaptureDesk desk;
    desk.workspace->addApplication({CaptureDesk::tavrinePid(), QStringLiteral("com.dravolence.tavrine"), {}});
    ActivityObserver observer(desk.services());

    // Our own process in front.
    desk.workspace->addWindow(
        {0x700001, CaptureDesk::tavrinePid(), QStringLiteral("Tavrine"), QRect(0, 0, 300, 200), true});
    desk.workspace->setActive(0x700001);
    EXPECT_FALSE(captureOnce(observer));
    EXPECT_FALSE(observer.currentWindowIdentity());

    // Another copy of Tavrine (same id, other process).
    desk.workspace->addApplication({77, QStringLiteral("com.dravolence.tavrine"), QStringLiteral("Tavrine")});
    desk.workspace->addWindow({0x770001, 77, QStringLiteral("Tavrine"), QRect(0, 0, 300, 200), true});
    desk.workspace->setActive(0x770001);
    EXPECT_FALSE(captureOnce(observer));

    // An application without an id or a name is another application, even when we have no id either.
    desk.workspace->setOwn(test::FakeWorkspace::tavrinePid, std::nullopt);
    desk.workspace->addApplication({CaptureDesk::pid, std::nullopt, std::nullopt});
    desk.workspace->setActive(CaptureDesk::windowId);
    const auto result = captureOnce(observer);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->evidence.bundle, QStringLiteral("100"));
    EXPECT_EQ(result->evidence.app, QStringLiteral("Unknown app"));
    EXPECT_EQ(result->evidence.pid, CaptureDesk::pid);
    EXPECT_TRUE(observer.webAccessibilityRequestedPIDs().contains(CaptureDesk::pid));
    EXPECT_FALSE(result->webAccessibilityRequestStatus);
    EXPECT_FALSE(observer.isCapturing());
}

TEST(ActivityObserver, RecognisedTextIsMergedBelowTheAccessibilitySummary) {
    CaptureDesk desk;
    test::TextStyle style;
    style.pixelSize = 40;
    desk.grabber->setImage(CaptureDesk::windowId, test::renderLines(CaptureDesk::frame.size(),
                                                                    {QStringLiteral("Harbour inspection schedule"),
                                                                     QStringLiteral("Crane maintenance on Thursday")},
                                                                    style, 150, 80));
    ActivityObserver observer(desk.services());
    const auto result = captureOnce(observer);
    ASSERT_TRUE(result);
    const ActivityEvidence& evidence = result->evidence;
    EXPECT_EQ(evidence.capturePath, QStringLiteral("window+ocr"));
    EXPECT_TRUE(evidence.text.startsWith(evidence.header + QLatin1Char('\n'))) << evidence.text.toStdString();
    EXPECT_TRUE(evidence.text.contains(QStringLiteral("Harbour inspection schedule"))) << evidence.text.toStdString();
    EXPECT_EQ(evidence.ocrCharacters, evidence.text.size() - evidence.header.size() - 1);
    EXPECT_EQ(evidence.accessibilityText, evidence.header);

    // A blank window adds nothing: the path stays "window".
    CaptureDesk blank;
    ActivityObserver blankObserver(blank.services());
    const auto empty = captureOnce(blankObserver);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->evidence.capturePath, QStringLiteral("window"));
    EXPECT_EQ(empty->evidence.ocrCharacters, 0);
    EXPECT_EQ(empty->evidence.text, empty->evidence.header);

    // The same words on a window mostly under others: what shows of it is not read, and the path says why.
    desk.grabber->setImage(
        CaptureDesk::windowId,
        test::renderLines(CaptureDesk::frame.size(), {QStringLiteral("Harbour inspection schedule")}, style, 150, 80),
        0.6);
    const auto covered = captureOnce(observer);
    ASSERT_TRUE(covered);
    EXPECT_EQ(covered->evidence.capturePath, QStringLiteral("window-covered"));
    EXPECT_EQ(covered->evidence.text, covered->evidence.header);
    EXPECT_TRUE(covered->evidence.imagePNG) << "the evidence stays judgeable by its title and tree";

    // A browser without a page in its tree: the address comes off its address bar, below the tab that shows the
    // window's title, marked as read from the screen.
    CaptureDesk browser;
    capture::CaptureServices services = browser.services();
    services.browsers = {QStringLiteral("org.example.Editor")};
    QImage window =
        test::renderLines(CaptureDesk::frame.size(), {QStringLiteral("Crane maintenance on Thursday")}, style, 300, 80);
    test::TextStyle bar;
    bar.pixelSize = 20;
    test::drawText(window, QPoint(24, 30), QStringLiteral("Quarterly report"), bar);
    test::drawText(window, QPoint(12, 80), QStringLiteral("\u2190   \u2192   \u21bb"), bar);
    test::drawText(window, QPoint(160, 80), QStringLiteral("docs.example.com/q3"), bar);
    browser.grabber->setImage(CaptureDesk::windowId, window);
    ActivityObserver browserObserver(services);
    const auto page = captureOnce(browserObserver);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->evidence.url, QStringLiteral("docs.example.com/q3"));
    EXPECT_EQ(page->evidence.capturePath, QStringLiteral("window+ocr+screen-address"));
    auto frontmost = test::run(browserObserver.frontmostPage(services.browsers));
    ASSERT_TRUE(frontmost.value && *frontmost.value);
    EXPECT_EQ((*frontmost.value)->url, QStringLiteral("docs.example.com/q3")) << "the focus-mode list gets it too";
}

TEST(ActivityObserver, ACancelledCaptureGivesNoResult) {
    CaptureDesk desk;
    std::atomic<bool> release{false};
    desk.grabber->onGrab([&] {
        for (int i = 0; i < 2000 && !release.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ActivityObserver observer(desk.services());
    auto outcome = test::start(observer.captureFrontmostActivity(true));
    ASSERT_TRUE(test::waitUntil([&] { return desk.grabber->grabs() == 1; }));
    EXPECT_TRUE(observer.isCapturing());
    observer.cancelCapture();
    release = true;
    ASSERT_TRUE(test::waitUntil([&] { return outcome->finished; }));
    test::rethrow(*outcome);
    EXPECT_FALSE(outcome->value.value());
    EXPECT_FALSE(observer.isCapturing());
}

TEST(ActivityObserver, WindowIdentityAndPageComeFromTheFrontmostApplication) {
    CaptureDesk desk;
    FakeAccessibilityBus::Node inner;
    inner.role = role::documentWeb;
    inner.documentAttributes = QHash<QString, QString>{{QStringLiteral("DocURL"), QStringLiteral("")}};
    const auto outer = desk.bus->add(desk.window, inner);
    inner.documentAttributes =
        QHash<QString, QString>{{QStringLiteral("DocURL"), QStringLiteral("https://news.example/a")}};
    desk.bus->add(outer, inner);
    ActivityObserver observer(desk.services());

    const auto identity = observer.currentWindowIdentity();
    ASSERT_TRUE(identity);
    EXPECT_EQ(*identity, (ActivityWindowIdentity{QStringLiteral("org.example.Editor"), CaptureDesk::pid,
                                                 CaptureDesk::windowId, CaptureDesk::title}));

    auto page = test::run(observer.frontmostPage({QStringLiteral("org.example.Editor")}));
    ASSERT_TRUE(page.value && *page.value);
    EXPECT_EQ(**page.value,
              (FrontmostPage{QStringLiteral("Editor"), QStringLiteral("org.example.Editor"), CaptureDesk::pid,
                             CaptureDesk::title, QStringLiteral("https://news.example/a")}));
    EXPECT_TRUE(observer.webAccessibilityRequestedPIDs().contains(CaptureDesk::pid));

    // Not a listed browser: no address, and the process is not recorded.
    ActivityObserver other(desk.services());
    page = test::run(other.frontmostPage({QStringLiteral("org.example.Browser")}));
    ASSERT_TRUE(page.value && *page.value);
    EXPECT_EQ((*page.value)->url, QString());
    EXPECT_TRUE(other.webAccessibilityRequestedPIDs().isEmpty());

    desk.permissions->accessibility = false;
    EXPECT_FALSE(observer.currentWindowIdentity());
    page = test::run(observer.frontmostPage({QStringLiteral("org.example.Editor")}));
    EXPECT_FALSE(page.value && *page.value);
}

namespace {

// A browser-like window with a tab strip; another application's window is active.
struct BringBack {
    CaptureDesk desk;
    test::LogCapture log;
    platform::AccessibleRef tabList;

    BringBack() {
        desk.workspace->addApplication({200, QStringLiteral("org.example.Chat"), QStringLiteral("Chat")});
        desk.workspace->addWindow({0x600001, 200, QStringLiteral("Chat"), QRect(0, 0, 400, 400), true});
        desk.workspace->setActive(0x600001);
        tabList = desk.bus->add(desk.window, role::pageTabList);
    }
    platform::AccessibleRef add(const platform::AccessibleRef& parent, quint32 elementRole, const QString& name) {
        FakeAccessibilityBus::Node node;
        node.role = elementRole;
        node.name = name;
        node.actions = QStringList{QStringLiteral("Press")};
        return desk.bus->add(parent, node);
    }
    QString bring(ActivityObserver& observer, const QString& title) {
        log.clear();
        auto outcome = test::run(observer.bringToFront(CaptureDesk::pid, QStringLiteral("org.example.Editor"), title));
        EXPECT_TRUE(outcome.finished);
        const QStringList lines = log.messages(QStringLiteral("Focus"));
        EXPECT_EQ(lines.size(), 1);
        return lines.isEmpty() ? QString() : lines.first();
    }
};

} // namespace

TEST(ActivityObserver, RaisesTheRememberedWindowOrReportsActivationOnly) {
    BringBack back;
    back.desk.workspace->addWindow(
        {0x500002, CaptureDesk::pid, QStringLiteral("Second report"), QRect(0, 0, 500, 500), false});
    ActivityObserver observer(back.desk.services());
    EXPECT_EQ(back.bring(observer, CaptureDesk::title),
              QStringLiteral("bringToFront bundle=<private> titleLength=25 raised window windows=2 frontmost=0 "
                             "activate=true"));
    EXPECT_EQ(back.desk.workspace->activeWindow(), CaptureDesk::windowId);
    // A minimised window comes back too.
    EXPECT_EQ(back.bring(observer, QStringLiteral("Second report")).section(' ', 3, 5),
              QStringLiteral("raised window windows=2"));
    EXPECT_EQ(back.desk.workspace->activeWindow(), 0x500002U);

    // Nothing to search for, or no accessibility to search with.
    EXPECT_EQ(back.bring(observer, QString()),
              QStringLiteral("bringToFront bundle=<private> titleLength=0 activated only frontmost=0 activate=true"));
    back.desk.workspace->setActive(0x600001);
    back.desk.permissions->accessibility = false;
    EXPECT_EQ(back.bring(observer, CaptureDesk::title),
              QStringLiteral("bringToFront bundle=<private> titleLength=25 activated only activate=true"));

    // The window manager takes the request but gives the focus to no one; then the server refuses it.
    back.desk.permissions->accessibility = true;
    back.desk.workspace->setActive(0x600001);
    back.desk.workspace->setActivationResult(0, false);
    EXPECT_TRUE(back.bring(observer, QString()).endsWith(QStringLiteral("frontmost=0 activate=false")));
    back.desk.workspace->setActivationResult(3, false);
    EXPECT_TRUE(back.bring(observer, QString()).endsWith(QStringLiteral("frontmost=3 activate=false")));
}

TEST(ActivityObserver, PressesOnlyTheBestMatchingPageTab) {
    BringBack back;
    back.add(back.tabList, role::pageTab, QStringLiteral("Inbox - Mail"));
    const auto weak = back.add(back.tabList, role::pageTab, QStringLiteral("Plan"));
    const auto best = back.add(back.tabList, role::pageTab, QStringLiteral("Budget review"));
    const auto tie = back.add(back.tabList, role::pageTab, QStringLiteral("Budget review"));
    ActivityObserver observer(back.desk.services());
    EXPECT_EQ(back.bring(observer, QStringLiteral("Budget review - Planning - Browser")),
              QStringLiteral("bringToFront bundle=<private> titleLength=34 pressed page tab status=0 windows=1 "
                             "nodes=6 matches=[\"page tab\": 3] frontmost=0 activate=true"));
    EXPECT_EQ(back.desk.bus->node(best).actionsRun, 1);
    EXPECT_EQ(back.desk.bus->node(tie).actionsRun, 0) << "an equal total keeps the earlier tab";
    EXPECT_EQ(back.desk.bus->node(weak).actionsRun, 0);
    EXPECT_EQ(back.desk.workspace->activeWindow(), CaptureDesk::windowId);

    // A button whose label occurs in the title is never pressed, nor a radio button outside a tab list.
    const auto send = back.add(back.desk.window, role::pushButton, QStringLiteral("Send invoice"));
    const auto looseRadio = back.add(back.desk.window, role::radioButton, QStringLiteral("Send invoice"));
    EXPECT_EQ(back.bring(observer, QStringLiteral("Send invoice to Dana")).section(' ', 3, 6),
              QStringLiteral("no tab found windows=1"));
    EXPECT_EQ(back.desk.bus->node(send).actionsRun, 0);
    EXPECT_EQ(back.desk.bus->node(looseRadio).actionsRun, 0);

    // A radio button inside a tab list is a tab.
    const auto radioTab = back.add(back.tabList, role::radioButton, QStringLiteral("Send invoice"));
    EXPECT_TRUE(back.bring(observer, QStringLiteral("Send invoice to Dana"))
                    .contains(QStringLiteral("pressed radio button status=0")));
    EXPECT_EQ(back.desk.bus->node(radioTab).actionsRun, 1);
}

TEST(ActivityObserver, LeavesAReusedProcessIdAlone) {
    BringBack back;
    ActivityObserver observer(back.desk.services());
    observer.returnToWindow(
        {QStringLiteral("org.example.Other"), CaptureDesk::pid, CaptureDesk::windowId, CaptureDesk::title});
    observer.returnToWindow({QStringLiteral("org.example.Editor"), 999, std::nullopt, CaptureDesk::title});
    test::waitUntil([] { return false; }, 0.1);
    EXPECT_TRUE(back.log.messages(QStringLiteral("Focus")).isEmpty());
    EXPECT_TRUE(back.desk.workspace->activations().isEmpty());

    observer.returnToWindow(
        {QStringLiteral("org.example.Editor"), CaptureDesk::pid, CaptureDesk::windowId, CaptureDesk::title});
    EXPECT_TRUE(test::waitUntil([&] { return !back.log.messages(QStringLiteral("Focus")).isEmpty(); }));
}

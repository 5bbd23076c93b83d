#include "tavrine/capture/CaptureRoutine.h"
#include "tavrine/capture/ElementReader.h"
#include "tavrine/capture/WindowResolution.h"

#include "CaptureDesk.h"

#include "Printing.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tavrine;
using namespace tavrine::capture;
using tavrine::test::CaptureDesk;
using tavrine::test::FakeAccessibilityBus;
namespace role = tavrine::platform::role;

namespace {

CaptureRequest request(bool includeScreenshot = true, bool browser = true) {
    CaptureRequest r;
    r.pid = CaptureDesk::pid;
    r.appName = QStringLiteral("Editor");
    r.bundle = QStringLiteral("org.example.Editor");
    r.includeScreenshot = includeScreenshot;
    r.requestWebAccessibility = true;
    r.waitsForPage = browser;
    return r;
}

CaptureStage run(CaptureDesk& desk, bool includeScreenshot = true, bool browser = true) {
    std::atomic<bool> cancelled{false};
    return captureWindowEvidence(desk.services(), request(includeScreenshot, browser), cancelled);
}

} // namespace

TEST(CaptureWindowEvidence, StopsBeforeTheWindowWithoutAccessibilityOrAFocusedWindow) {
    CaptureDesk desk;
    desk.permissions->accessibility = false;
    CaptureStage stage = run(desk);
    EXPECT_EQ(stage.debug.evidence.issue, QStringLiteral("Accessibility permission is needed."));
    EXPECT_EQ(stage.debug.evidence.capturePath, QStringLiteral("accessibility"));
    EXPECT_EQ(stage.debug.evidence.source, QStringLiteral("Window capture"));
    EXPECT_EQ(stage.debug.accessibilityAttempts, 0);
    EXPECT_FALSE(stage.debug.windowFrame);
    EXPECT_TRUE(stage.debug.evidence.title.isEmpty());

    CaptureDesk hidden;
    hidden.workspace->setActive(std::nullopt);
    hidden.workspace->editWindow(CaptureDesk::windowId, [](auto& window) { window.onScreen = false; });
    stage = run(hidden);
    EXPECT_EQ(stage.debug.evidence.issue, QStringLiteral("No readable focused window."));
    EXPECT_EQ(stage.debug.accessibilityAttempts, 0);
    EXPECT_EQ(hidden.grabber->grabs(), 0);
}

TEST(CaptureWindowEvidence, APasswordFieldInFocusKeepsTheCaptureQuiet) {
    CaptureDesk desk;
    desk.addFocused(role::passwordText, QStringLiteral("hunter2"));
    const CaptureStage stage = run(desk);
    const ActivityEvidence& evidence = stage.debug.evidence;
    EXPECT_EQ(evidence.issue, QStringLiteral("Secure input \u00b7 staying quiet"));
    EXPECT_EQ(evidence.title, CaptureDesk::title);
    EXPECT_EQ(evidence.windowID, CaptureDesk::windowId);
    EXPECT_EQ(stage.debug.windowFrame, QRectF(CaptureDesk::frame));
    EXPECT_TRUE(evidence.text.isEmpty());
    EXPECT_EQ(stage.debug.accessibilityAttempts, 0);
    EXPECT_EQ(desk.grabber->grabs(), 0);
    EXPECT_FALSE(stage.crop);
}

TEST(CaptureWindowEvidence, ABrowserIsWalkedThreeTimesWithoutAWebDocumentOnceWithOneAndNothingPastTheDeadline) {
    const auto withHeading = [](CaptureDesk& desk) {
        FakeAccessibilityBus::Node heading;
        heading.role = role::heading;
        heading.name = QStringLiteral("Budget overview");
        heading.extents = QRect(20, 20, 300, 30);
        desk.bus->add(desk.window, heading);
    };
    CaptureDesk plain;
    withHeading(plain);
    CaptureStage stage = run(plain);
    EXPECT_EQ(stage.debug.accessibilityAttempts, 3);
    EXPECT_EQ(plain.sleeps, (std::vector<double>{0.12, 0.24}));
    EXPECT_EQ(stage.debug.evidence.subject, QStringLiteral("Budget overview"));
    // No request goes out to a process: toolkits follow the desktop's accessibility setting.
    EXPECT_FALSE(stage.debug.webAccessibilityRequestStatus);

    CaptureDesk browser;
    browser.addWebDocument(QRect(0, 100, 800, 500), QStringLiteral("https://docs.example/q3"));
    stage = run(browser);
    EXPECT_EQ(stage.debug.accessibilityAttempts, 1);
    EXPECT_TRUE(browser.sleeps.empty());
    EXPECT_EQ(stage.debug.evidence.url, QStringLiteral("https://docs.example/q3"));

    // A wait that overruns the walk's 1.5 seconds: the last attempt's empty walk is what counts.
    CaptureDesk slow;
    withHeading(slow);
    auto services = slow.services();
    services.sleep = [&slow](double, const std::atomic<bool>&) { slow.uptime += 2.0; };
    std::atomic<bool> cancelled{false};
    stage = captureWindowEvidence(services, request(), cancelled);
    EXPECT_EQ(stage.debug.accessibilityAttempts, 3);
    EXPECT_TRUE(stage.debug.evidence.subject.isEmpty());

    // Any other application shows its whole tree at once: one walk, no waits.
    CaptureDesk editor;
    withHeading(editor);
    stage = run(editor, true, false);
    EXPECT_EQ(stage.debug.accessibilityAttempts, 1);
    EXPECT_TRUE(editor.sleeps.empty());
    EXPECT_EQ(stage.debug.evidence.subject, QStringLiteral("Budget overview"));
}

TEST(CaptureWindowEvidence, WithTheDocumentFocusedItsHeadingIsTheSubjectNotTheWindowTitle) {
    CaptureDesk desk;
    const auto page = desk.addWebDocument(QRect(0, 100, 800, 500), QStringLiteral("http://127.0.0.1/q3"));
    desk.bus->edit(page, [](auto& document) { document.states->set(platform::state::focused); });
    FakeAccessibilityBus::Node heading;
    heading.role = role::heading;
    heading.name = QStringLiteral("Budget overview");
    heading.extents = QRect(20, 120, 300, 30);
    desk.bus->add(page, heading);

    const ActivityEvidence evidence = run(desk).debug.evidence;
    EXPECT_EQ(evidence.subject, QStringLiteral("Budget overview"));
    EXPECT_EQ(evidence.header, QStringLiteral("App: Editor. Window: \"Quarterly report - Editor\". Subject: \"Budget "
                                              "overview\". URL: http://127.0.0.1/q3"));
}

TEST(CaptureWindowEvidence, KeepsAPageAddressOnlyWhenItIsAWebAddress) {
    struct Case {
        const char* address;
        bool kept;
    };
    const Case cases[] = {
        {"https://docs.example/q3", true},
        {"http://127.0.0.1:8080/q3", true},
        {"file:///home/hazel/Documents/q3.pdf", false},
        {"mailbox:///home/hazel/.thunderbird/x.default/Mail/Local%20Folders/Inbox?number=12", false},
        {"imap://hazel@mail.example/INBOX?number=12", false},
        {"about:blank", false},
        {"data:text/html,<a href=\"https://docs.example/\">q3</a>", false},
        {"/home/hazel/q3.txt", false},
        {"docs.example/q3", false},
        {"mooring fees thursday", false},
    };
    for (const Case& c : cases) {
        const QString address = QString::fromUtf8(c.address);
        const QString expected = c.kept ? address : QString();
        // A document in the tree (as a mail client's message), and the window's own document.
        CaptureDesk inTree;
        inTree.addWebDocument(QRect(0, 100, 800, 500), address);
        CaptureDesk onWindow;
        onWindow.bus->edit(onWindow.window, [&](auto& window) {
            window.documentAttributes = QHash<QString, QString>{{QStringLiteral("URI"), address}};
        });
        // A browser whose page in the tree names no address (as QtWebEngine shows it): the address field in its
        // tool bar.
        CaptureDesk inField;
        FakeAccessibilityBus::Node unnamedPage;
        unnamedPage.role = role::documentWeb;
        unnamedPage.extents = QRect(0, 100, 800, 500);
        inField.bus->add(inField.window, unnamedPage);
        FakeAccessibilityBus::Node field;
        field.role = role::entry;
        field.states->set(platform::state::editable);
        field.extents = QRect(100, 35, 500, 30);
        field.text = address;
        inField.bus->add(inField.addBar(inField.window, QRect(0, 30, 800, 40)), field);
        for (CaptureDesk* desk : {&inTree, &onWindow, &inField}) {
            const CaptureStage stage = run(*desk);
            const ActivityEvidence& evidence = stage.debug.evidence;
            EXPECT_EQ(evidence.url, expected) << c.address;
            // Without a web address from the tree, a browser's address is read off its tool bar.
            EXPECT_EQ(stage.toolbar.has_value(), !c.kept) << c.address;
            EXPECT_EQ(evidence.header.contains(address), c.kept) << c.address;
            // A capture that walks once asks each element once, its search for the address field included.
            const QHash<platform::AccessibleRef, int> reads = desk->bus->stateReads();
            EXPECT_TRUE(desk == &onWindow || std::all_of(reads.begin(), reads.end(), [](int n) { return n == 1; }))
                << c.address;
            // What focus mode reads of the same window.
            ElementReader reader(*desk->bus);
            EXPECT_EQ(pageURL(reader, desk->window, [] { return 0.0; }), expected) << c.address;
        }
        // A web document after the other one still gives its address, and a page's own address comes before
        // the address field's.
        inTree.addWebDocument(QRect(0, 100, 800, 500), QStringLiteral("https://later.example/"));
        EXPECT_EQ(run(inTree).debug.evidence.url, c.kept ? address : QStringLiteral("https://later.example/"))
            << c.address;
        inField.addWebDocument(QRect(0, 100, 800, 500), QStringLiteral("https://later.example/"));
        EXPECT_EQ(run(inField).debug.evidence.url, QStringLiteral("https://later.example/")) << c.address;
        // Only a browser's capture reads its address field.
        CaptureDesk editor;
        editor.bus->add(editor.window, field);
        EXPECT_EQ(run(editor, true, false).debug.evidence.url, QString()) << c.address;
    }
}

TEST(CaptureWindowEvidence, OnlyAWholeWindowThatDrawsItsOwnTitleBarLosesItsTopBandToRecognition) {
    struct Case {
        const char* name;
        bool managerTitleBar;
        bool webDocument;
        double band;
        QRect bar = {};
    };
    const Case cases[] = {
        {"own title bar, whole window", false, false, 0.1},
        {"title bar drawn by the window manager", true, false, 0.0},
        {"crop to the page", false, true, 0.0},
        {"crop to the page, manager's title bar", true, true, 0.0},
        {"a header bar down to its bottom", false, false, 0.15, QRect(0, 10, 800, 80)},
        {"a tool bar too far down to be one", false, false, 0.1, QRect(0, 300, 800, 80)},
        {"no deeper than a quarter", false, false, 0.25, QRect(0, 50, 800, 110)},
    };
    for (const Case& c : cases) {
        CaptureDesk desk;
        desk.workspace->editWindow(CaptureDesk::windowId,
                                   [&](auto& window) { window.managerTitleBar = c.managerTitleBar; });
        if (c.webDocument)
            desk.addWebDocument(QRect(0, 100, 800, 500), QStringLiteral("https://docs.example/q3"));
        if (!c.bar.isEmpty())
            desk.addBar(desk.window, c.bar);
        const CaptureStage stage = run(desk);
        ASSERT_TRUE(stage.crop) << c.name;
        EXPECT_EQ(stage.recognitionBand, c.band) << c.name;
    }
}

TEST(CaptureWindowEvidence, AnApplicationWithoutATreeIsStillCapturedByItsScreenshot) {
    CaptureDesk desk;
    desk.bus->removeApplication(CaptureDesk::pid);
    const CaptureStage stage = run(desk);
    const ActivityEvidence& evidence = stage.debug.evidence;
    EXPECT_EQ(stage.debug.accessibilityAttempts, 1);
    EXPECT_TRUE(desk.sleeps.empty());
    EXPECT_FALSE(evidence.issue);
    EXPECT_EQ(evidence.header, QStringLiteral("App: Editor. Window: \"Quarterly report - Editor\"."));
    EXPECT_EQ(evidence.capturePath, QStringLiteral("window"));
    EXPECT_EQ(evidence.contentFrame, QRectF(CaptureDesk::frame));
    ASSERT_TRUE(evidence.imagePNG);
    EXPECT_TRUE(evidence.imagePNG->startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(evidence.imageFingerprint, QString(512, QLatin1Char('f')));
    ASSERT_TRUE(stage.crop);
    EXPECT_EQ(stage.crop->size(), CaptureDesk::frame.size());

    // A window may name itself at any length: the evidence takes what judging needs, cut between characters.
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
    desk.workspace->editWindow(CaptureDesk::windowId, [&](auto& window) {
        window.title = QString(200, QLatin1Char('x')) + face.repeated(1000000);
    });
    EXPECT_EQ(run(desk).debug.evidence.title, QString(200, QLatin1Char('x')) + face.repeated(100));
}

TEST(CaptureWindowEvidence, CropsTheScreenshotToTheWebDocument) {
    CaptureDesk desk;
    QImage image(CaptureDesk::frame.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(200, 0, 0));
    // A page's own tool bar, drawn dark, inside the crop.
    for (int y = 500; y < 540; ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(20, 20, 20));
    desk.grabber->setImage(CaptureDesk::windowId, image);
    const auto document = desk.addWebDocument(QRect(0, 100, 800, 500), QStringLiteral("https://docs.example/q3"));
    desk.addBar(document, QRect(0, 500, 800, 40));

    const CaptureStage stage = run(desk);
    EXPECT_EQ(stage.debug.evidence.contentFrame, QRectF(0, 100, 800, 500));
    ASSERT_TRUE(stage.crop);
    EXPECT_EQ(stage.crop->size(), QSize(800, 500));
    EXPECT_EQ(stage.crop->pixel(0, 0), qRgb(255, 255, 255)) << "the browser's bar above the page is cut off";
    EXPECT_EQ(stage.crop->pixel(400, 420), qRgb(255, 255, 255)) << "the tool bar is blanked in the page's colour";
}

TEST(CaptureWindowEvidence, ScreenshotFailuresLeaveTheAccessibilitySummaryWithTheirIssue) {
    CaptureDesk notAsked;
    EXPECT_EQ(run(notAsked, false).debug.evidence.capturePath, QStringLiteral("screenshot-disabled"));
    EXPECT_FALSE(run(notAsked, false).debug.evidence.issue);

    const auto expectIssue = [](CaptureDesk& desk, const QString& issue) {
        const CaptureStage stage = run(desk);
        EXPECT_EQ(stage.debug.evidence.issue, issue);
        EXPECT_EQ(stage.debug.evidence.capturePath, QStringLiteral("screenshot-unavailable"));
        EXPECT_EQ(stage.debug.evidence.text, QStringLiteral("App: Editor. Window: \"Quarterly report - Editor\"."));
        EXPECT_FALSE(stage.debug.evidence.imagePNG);
        EXPECT_FALSE(stage.crop);
    };
    CaptureDesk noScreen;
    noScreen.permissions->screenCapture = false;
    expectIssue(noScreen, QStringLiteral("Screen Recording permission is needed for this window."));

    CaptureDesk closing;
    closing.workspace->editWindow(CaptureDesk::windowId, [](auto& window) { window.onScreen = false; });
    expectIssue(closing, QStringLiteral("The window is no longer visible."));

    CaptureDesk refused;
    refused.grabber->setImage(CaptureDesk::windowId, QImage());
    expectIssue(refused, QStringLiteral("Window capture is unavailable. Check Screen Recording permission."));
}

TEST(CaptureWindowEvidence, ACancellationDuringTheScreenshotReturnsWithoutAnImage) {
    CaptureDesk desk;
    std::atomic<bool> cancelled{false};
    desk.grabber->onGrab([&] { cancelled = true; });
    const CaptureStage stage = captureWindowEvidence(desk.services(), request(), cancelled);
    EXPECT_FALSE(stage.debug.evidence.issue);
    EXPECT_FALSE(stage.debug.evidence.imagePNG);
    EXPECT_FALSE(stage.crop);
}

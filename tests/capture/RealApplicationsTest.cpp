// Captures of installed applications under the test X server: browsers on a loopback page, a mail client on a
// local message, a GTK editor, a terminal. Skipped where an application is not installed, unless
// TAVRINE_REAL_APPS=required.
#include "tavrine/capture/ActivityObserver.h"
#include "tavrine/platform/AtspiAccessibilityBus.h"
#include "tavrine/platform/LinuxPermissions.h"
#include "tavrine/platform/x11/X11Connection.h"

#include "Printing.h"
#include "TestWindowProcess.h"
#include "support/RealApplication.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace tavrine;
using test::LoopbackPage;
using test::RealApplication;

namespace {

constexpr double waitLimit = 60.0;

#define REQUIRE_PROGRAM(variable, program)                                                                             \
    const std::optional<QString> variable = RealApplication::find(QStringLiteral(program));                            \
    if (!variable) {                                                                                                   \
        if (RealApplication::required())                                                                               \
            FAIL() << program " is not installed";                                                                     \
        GTEST_SKIP() << program " is not installed";                                                                   \
    }

// The browsers of the list of known distractions, as the application hands them to its observer.
QSet<QString> listedBrowsers() {
    QFile file(QStringLiteral(TAVRINE_SOURCE_DIR "/resources/FocusThieves.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QSet<QString> browsers;
    for (const QJsonValue& value :
         QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("browsers")).toArray())
        browsers.insert(value.toString());
    return browsers;
}

ActivityObserver makeObserver() {
    capture::CaptureServices services = capture::CaptureServices::desktop();
    services.browsers = listedBrowsers();
    return ActivityObserver(services);
}

// Accessibility on for the desktop before any application starts: toolkits look once, at their start.
bool accessibilityOn() {
    return platform::LinuxPermissions().requestAccessibility();
}

// The application's window whose title `matches`, made active and, `withTree`, with its tree on the bus; none,
// with the test failed, when it does not show.
std::optional<platform::XWindowId>
shownWindow(RealApplication& application, const std::function<bool(const QString&)>& matches, bool withTree = true) {
    const auto window = application.waitForWindow(matches);
    if (!window) {
        ADD_FAILURE() << "no window; the application's log is in " << application.folder().toStdString();
        return std::nullopt;
    }
    platform::X11Connection& x11 = *platform::X11Connection::shared();
    x11.activate(*window);
    if (!test::waitUntil([&] { return x11.activeWindow() == *window; }, waitLimit)) {
        ADD_FAILURE() << "the window did not become active";
        return std::nullopt;
    }
    const std::optional<qint32> pid = x11.windowPid(*window);
    platform::AtspiAccessibilityBus bus;
    const auto treeShown = [&] {
        const std::optional<platform::AccessibleRef> root = pid ? bus.application(*pid) : std::nullopt;
        return root && !bus.children(*root, 4).isEmpty();
    };
    if (withTree && !test::waitUntil(treeShown, waitLimit)) {
        ADD_FAILURE() << "the application's tree never showed on the bus";
        return std::nullopt;
    }
    return window;
}

// Runs `command` (xdotool) against the test display; answers whether it succeeded.
bool xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

std::optional<AccessibilityCaptureDebug> captureNow(ActivityObserver& observer) {
    auto outcome = test::run(observer.captureFrontmostActivity(true), 90);
    EXPECT_TRUE(outcome.finished);
    return outcome.value ? *outcome.value : std::nullopt;
}

// Captures until `wanted` holds for the result (an application builds its tree and paints in its own time), at
// most `seconds` of real time; answers the last result.
std::optional<AccessibilityCaptureDebug>
captureUntil(ActivityObserver& observer, const std::function<bool(const AccessibilityCaptureDebug&)>& wanted,
             double seconds = waitLimit) {
    QDeadlineTimer deadline(qint64(seconds * 1000));
    std::optional<AccessibilityCaptureDebug> result;
    while (true) {
        result = captureNow(observer);
        if ((result && wanted(*result)) || deadline.hasExpired())
            return result;
        test::waitUntil([] { return false; }, 0.5);
    }
}

// The frontmost page's address as focus mode reads it, read until it is `wanted`, at most `seconds` of real time: a
// read is bounded in time, and a loaded machine can let it run out (focus mode reads again a second later).
QString frontmostURLUntil(ActivityObserver& observer, const QString& wanted, double seconds = 20) {
    QDeadlineTimer deadline(qint64(seconds * 1000));
    QString url;
    do {
        auto frontmost = test::run(observer.frontmostPage(listedBrowsers()), 30);
        url = frontmost.value && *frontmost.value ? (*frontmost.value)->url : QStringLiteral("<no page>");
    } while (url != wanted && !deadline.hasExpired());
    return url;
}

const QByteArray harbourPage = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Harbour log</title></head>
<body style="font-family: DejaVu Sans, sans-serif; font-size: 22px; margin: 24px">
<h1>Crane maintenance schedule</h1>
<p>The north crane is inspected on Thursday morning.</p>
<textarea rows="4" cols="50">Check the hydraulic hoses and the brake pads on crane four.</textarea>
<div style="height: 400px"></div>
</body></html>
)";
const QString textareaText = QStringLiteral("Check the hydraulic hoses and the brake pads on crane four.");

// The page's address 300 characters long, as a report or a search leaves it: longer than an address bar shows.
QString longAddress(const LoopbackPage& page) {
    const QString query = QStringLiteral(
        "page.html?report=north-quay-crane-maintenance-schedule-and-inspection-notes&section=hydraulics&crane=four"
        "&inspector=hazel-underwood&week=49&notes=check-the-brake-pads-and-the-hoses-before-the-first-frost"
        "&tide=high-water-at-six-in-the-evening-on-thursday-and-low-water-at-midnight-for-the-whole-week");
    return page.url(query.left(300 - page.url(QString()).size()));
}

QString firefoxPreferences() {
    // A fresh profile that stays on loopback: no updates, reports, studies, safe-browsing lists or first-run pages.
    return QStringLiteral(R"(user_pref("app.update.auto", false);
user_pref("app.update.enabled", false);
user_pref("app.normandy.enabled", false);
user_pref("app.shield.optoutstudies.enabled", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("browser.discovery.enabled", false);
user_pref("browser.newtabpage.enabled", false);
user_pref("browser.ping-centre.telemetry", false);
user_pref("browser.region.update.enabled", false);
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.search.update", false);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.tabs.warnOnClose", false);
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("extensions.getAddons.cache.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("media.gmp-manager.updateEnabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("network.dns.disablePrefetch", true);
user_pref("network.prefetch-next", false);
user_pref("services.settings.server", "http://127.0.0.1:9/");
user_pref("toolkit.telemetry.enabled", false);
user_pref("toolkit.telemetry.unified", false);
)");
}

} // namespace

TEST(RealApplications, FirefoxPageGivesItsAddressHeadingParagraphAndTextarea) {
    REQUIRE_PROGRAM(firefox, "firefox-esr");
    ASSERT_TRUE(accessibilityOn());
    LoopbackPage page(harbourPage);
    ASSERT_FALSE(page.url().isEmpty());

    const QString profile = QDir::home().filePath(QStringLiteral("firefox-profile"));
    ASSERT_TRUE(QDir().mkpath(profile));
    QFile preferences(profile + QStringLiteral("/user.js"));
    ASSERT_TRUE(preferences.open(QIODevice::WriteOnly));
    preferences.write(firefoxPreferences().toUtf8());
    preferences.close();
    RealApplication browser(*firefox,
                            {QStringLiteral("--no-remote"), QStringLiteral("--new-instance"),
                             QStringLiteral("--profile"), profile, page.url()},
                            {{QStringLiteral("MOZ_CRASHREPORTER_DISABLE"), QStringLiteral("1")}});
    const auto window =
        shownWindow(browser, [](const QString& title) { return title.startsWith(QStringLiteral("Harbour log")); });
    ASSERT_TRUE(window);
    EXPECT_GE(page.served(), 1);

    // A click on the page below the text area puts the focus on the document itself.
    const auto placed = platform::X11Connection::shared()->rootGeometry(*window);
    ASSERT_TRUE(placed);
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(placed->center().x()),
                         QString::number(placed->bottom() - 60), QStringLiteral("click"), QStringLiteral("1")}));

    ActivityObserver observer = makeObserver();
    // The page's tree may still be building: a few captures until the heading shows.
    std::optional<AccessibilityCaptureDebug> result = captureUntil(observer, [](const auto& capture) {
        return capture.evidence.subject == QStringLiteral("Crane maintenance schedule") &&
               capture.evidence.capturePath == QStringLiteral("window+ocr");
    });
    ASSERT_TRUE(result);
    const ActivityEvidence& evidence = result->evidence;
    EXPECT_EQ(evidence.bundle, QStringLiteral("firefox-esr"));
    EXPECT_TRUE(listedBrowsers().contains(evidence.bundle));
    EXPECT_EQ(evidence.url, page.url());
    EXPECT_EQ(evidence.subject, QStringLiteral("Crane maintenance schedule"));
    EXPECT_TRUE(evidence.header.contains(QStringLiteral("Subject: \"Crane maintenance schedule\".")))
        << evidence.header.toStdString();
    EXPECT_TRUE(evidence.header.contains(QStringLiteral("URL: ") + page.url())) << evidence.header.toStdString();
    EXPECT_EQ(result->accessibilityAttempts, 1) << "the page's document is found on the first walk";
    EXPECT_EQ(evidence.capturePath, QStringLiteral("window+ocr"));
    // The crop is the page: its first line of text is no title bar.
    EXPECT_TRUE(evidence.text.simplified().contains(QStringLiteral("The north crane is inspected on Thursday")))
        << evidence.text.toStdString();

    // Tab moves the focus from the document into the text area.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Tab")}));
    result =
        captureUntil(observer, [](const auto& capture) { return capture.evidence.focusedDescription == textareaText; });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->evidence.focusedDescription, textareaText);
    EXPECT_TRUE(result->evidence.header.contains(QStringLiteral("Focused: ") + textareaText))
        << result->evidence.header.toStdString();

    // A 300-character address typed into the bar, longer than the bar shows: the page's document names it whole,
    // for the capture and for focus mode.
    const QString longer = longAddress(page);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+l")}));
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("1"), longer}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    result = captureUntil(observer, [&](const auto& capture) { return capture.evidence.url == longer; });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->evidence.url, longer);
    EXPECT_EQ(frontmostURLUntil(observer, longer), longer);
}

TEST(RealApplications, ChromiumPageGivesItsAddressInEveryWindow) {
    REQUIRE_PROGRAM(chromium, "chromium");
    ASSERT_TRUE(accessibilityOn());
    // All show the browser's info bar under the tool bar (the flag that turns the sandbox off).
    struct Case {
        const char* name;
        QStringList arguments;
        QByteArray page;
        QString title;
        // An address longer than the bar: the bar shows its start and an ellipsis, which is no address.
        bool longAddress = false;
    };
    const Case cases[] = {
        {"the browser's own window size", {}, harbourPage, QStringLiteral("Harbour log")},
        // A tab title with dotted names in it, which are no addresses.
        {"a 1200 x 850 window",
         {QStringLiteral("--window-size=1200,850")},
         QByteArray(harbourPage).replace("Harbour log", "notes.txt - Node.js guide"),
         QStringLiteral("notes.txt - Node.js guide")},
        {"a 300-character address",
         {QStringLiteral("--window-size=1000,700")},
         harbourPage,
         QStringLiteral("Harbour log"),
         true},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPage page(c.page);
        ASSERT_FALSE(page.url().isEmpty());
        // The page's address, from the tree where the browser shows its page there, else off its address bar as the
        // bar shows it (without the scheme): exactly, or none.
        const QString address = c.longAddress ? longAddress(page) : page.url();
        const QString shown = address.mid(int(qstrlen("http://")));
        const auto addressed = [&](const AccessibilityCaptureDebug& capture) {
            const QString& url = capture.evidence.url;
            return url == address ||
                   (url == shown && capture.evidence.capturePath.endsWith(QStringLiteral("+screen-address")));
        };
        const auto wrong = [&](const AccessibilityCaptureDebug& capture) {
            return !capture.evidence.url.isEmpty() && !addressed(capture);
        };
        // A bar that shows the address cut gives none: such a row is settled once the page has been read.
        const auto settled = [&](const AccessibilityCaptureDebug& capture) {
            return addressed(capture) || wrong(capture) ||
                   (c.longAddress && capture.evidence.text.contains(QStringLiteral("Crane maintenance schedule")));
        };
        // A fresh profile on loopback; the test runs as whatever user the machine gives it, root included. No GPU
        // process: on a loaded machine its start under Xvfb can leave the window unpainted for longer than the
        // test waits.
        const QString profile = QDir::home().filePath(QStringLiteral("chromium-%1").arg(run++));
        RealApplication browser(
            *chromium,
            c.arguments +
                QStringList{QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                            QStringLiteral("--no-first-run"), QStringLiteral("--no-default-browser-check"),
                            QStringLiteral("--password-store=basic"), QStringLiteral("--disable-background-networking"),
                            QStringLiteral("--disable-sync"), QStringLiteral("--user-data-dir=") + profile, address});
        ASSERT_TRUE(shownWindow(
            browser, [&](const QString& title) { return title.startsWith(c.title); }, false));

        ActivityObserver observer = makeObserver();
        const std::optional<AccessibilityCaptureDebug> result = captureUntil(observer, settled);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->evidence.bundle, QStringLiteral("chromium"));
        EXPECT_TRUE(listedBrowsers().contains(result->evidence.bundle));
        EXPECT_TRUE(c.longAddress ? settled(*result) && !wrong(*result) : addressed(*result))
            << result->evidence.url.toStdString() << " " << result->evidence.capturePath.toStdString();
        EXPECT_EQ(frontmostURLUntil(observer, result->evidence.url), result->evidence.url)
            << "the focus-mode list gets it too";
    }
}

TEST(RealApplications, ThunderbirdMessageGivesItsSenderFromTheHeaderAboveTheBody) {
    REQUIRE_PROGRAM(thunderbird, "thunderbird");
    ASSERT_TRUE(accessibilityOn());
    const QString folder = QDir::home().filePath(QStringLiteral("thunderbird"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/profile")));
    QFile message(folder + QStringLiteral("/quote.eml"));
    ASSERT_TRUE(message.open(QIODevice::WriteOnly));
    message.write("From: Hazel Underwood <hazel@underwood-design.example>\r\n"
                  "To: Robin Marsh <robin@marsh.example>\r\n"
                  "Subject: Revised quote for the harbour brochure\r\n"
                  "Date: Mon, 7 Dec 2026 09:14:00 +0000\r\n"
                  "Message-ID: <quote-42@underwood-design.example>\r\n"
                  "MIME-Version: 1.0\r\n"
                  "Content-Type: text/plain; charset=utf-8\r\n\r\n"
                  "Hello Robin,\r\n\r\nplease find the revised quote for the harbour brochure below.\r\n"
                  "The printing costs went down by twelve percent since October.\r\n");
    message.close();
    // A fresh profile that asks nothing at its start and stays off the network.
    QFile preferences(folder + QStringLiteral("/profile/user.js"));
    ASSERT_TRUE(preferences.open(QIODevice::WriteOnly));
    preferences.write(firefoxPreferences().toUtf8() + R"(user_pref("mail.provider.enabled", false);
user_pref("mail.shell.checkDefaultClient", false);
user_pref("mailnews.start_page.enabled", false);
user_pref("mail.rights.version", 1);
user_pref("mail.spotlight.firstRunDone", true);
)");
    preferences.close();
    // The message opens in a window of its own, beside the main window.
    RealApplication mail(*thunderbird,
                         {QStringLiteral("--no-remote"), QStringLiteral("--profile"),
                          folder + QStringLiteral("/profile"), QStringLiteral("-file"), message.fileName()},
                         {{QStringLiteral("MOZ_CRASHREPORTER_DISABLE"), QStringLiteral("1")}});
    ASSERT_TRUE(shownWindow(
        mail, [](const QString& title) { return title.startsWith(QStringLiteral("Revised quote for the harbour")); }));

    ActivityObserver observer = makeObserver();
    const auto bodyRead = [](const AccessibilityCaptureDebug& capture) {
        return capture.evidence.text.contains(QStringLiteral("twelve percent since October"));
    };
    const std::optional<AccessibilityCaptureDebug> result = captureUntil(observer, bodyRead);
    ASSERT_TRUE(result);
    const ActivityEvidence& evidence = result->evidence;
    EXPECT_TRUE(bodyRead(*result)) << evidence.text.toStdString();
    // The header pane lies above the body's page, in the message view that holds both.
    EXPECT_TRUE(evidence.text.contains(QStringLiteral("Hazel Underwood"))) << evidence.text.toStdString();
    EXPECT_TRUE(evidence.text.contains(QStringLiteral("hazel@underwood-design.example")))
        << evidence.text.toStdString();
    // Its reply buttons are a tool bar: blanked.
    EXPECT_FALSE(evidence.text.contains(QStringLiteral("Reply All"))) << evidence.text.toStdString();
}

TEST(RealApplications, MousepadWithAHeaderBarGivesTheFocusedTextInOneWalkAndItsFirstLineOnScreen) {
    REQUIRE_PROGRAM(mousepad, "mousepad");
    ASSERT_TRUE(accessibilityOn());
    const QString notes = QStringLiteral("Harbour inspection notes\nThe south quay needs new fenders before winter.\n");
    const QString path = QDir::home().filePath(QStringLiteral("quay-notes.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(notes.toUtf8());
    file.close();
    // Its own header bar above a notebook that holds the document.
    const QString config = QDir::home().filePath(QStringLiteral("mousepad-config"));
    ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("/glib-2.0/settings")));
    QFile settings(config + QStringLiteral("/glib-2.0/settings/keyfile"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[org/xfce/mousepad/preferences/window]\nclient-side-decorations=true\n");
    settings.close();

    RealApplication editor(*mousepad, {path},
                           {{QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile")},
                            {QStringLiteral("XDG_CONFIG_HOME"), config}});
    ASSERT_TRUE(
        shownWindow(editor, [](const QString& title) { return title.contains(QStringLiteral("quay-notes.txt")); }));

    ActivityObserver observer = makeObserver();
    const auto firstLineRead = [](const AccessibilityCaptureDebug& capture) {
        const ActivityEvidence& evidence = capture.evidence;
        return !evidence.focusedDescription.isEmpty() &&
               evidence.text.mid(evidence.header.size()).contains(QStringLiteral("Harbour inspection notes"));
    };
    const std::optional<AccessibilityCaptureDebug> result = captureUntil(observer, firstLineRead);
    ASSERT_TRUE(result);
    const ActivityEvidence& evidence = result->evidence;
    EXPECT_EQ(evidence.bundle, QStringLiteral("org.xfce.mousepad"));
    EXPECT_EQ(evidence.focusedDescription, notes.simplified());
    EXPECT_EQ(result->accessibilityAttempts, 1) << "an editor is no browser: one walk";
    EXPECT_FALSE(evidence.issue);
    EXPECT_TRUE(firstLineRead(*result)) << "the first line lies under the header bar: " << evidence.text.toStdString();
    ASSERT_TRUE(evidence.contentFrame && evidence.windowFrame);
    EXPECT_LT(evidence.contentFrame->height(), evidence.windowFrame->height())
        << "the document inside the notebook's page is the crop";
}

TEST(RealApplications, XtermWithThreeLinesGivesAllThreeAndNothingOfThePanelOverIt) {
    REQUIRE_PROGRAM(xterm, "xterm");
    ASSERT_TRUE(accessibilityOn());
    // A panel that stays on top of the terminal, as Tavrine's nudge card or a chat pop-up does.
    const QStringList panelLines{QStringLiteral("Private chat message"), QStringLiteral("Get back to work")};
    test::TestWindowProcess panel(QStringLiteral("Panel"), panelLines, test::TestWindowProcess::Kind::panel);
    ASSERT_TRUE(panel.isReady());
    const QStringList lines{QStringLiteral("Harbour crane inspection"), QStringLiteral("North quay fender repair"),
                            QStringLiteral("Ferry timetable for Thursday")};
    const QString script = QStringLiteral("printf '%s\\n%s\\n%s\\n' '%1' '%2' '%3'; exec sleep 600")
                               .arg(lines.at(0), lines.at(1), lines.at(2));
    RealApplication terminal(
        *xterm, {QStringLiteral("-maximized"), QStringLiteral("-T"), QStringLiteral("Quay terminal"),
                 QStringLiteral("-fa"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("-fs"), QStringLiteral("14"),
                 QStringLiteral("-bg"), QStringLiteral("white"), QStringLiteral("-fg"), QStringLiteral("black"),
                 QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"), script});
    ASSERT_TRUE(shownWindow(
        terminal, [](const QString& title) { return title == QStringLiteral("Quay terminal"); }, false));

    ActivityObserver observer = makeObserver();
    const auto allLines = [&](const AccessibilityCaptureDebug& capture) {
        const QString text = capture.evidence.text.simplified();
        return std::all_of(lines.begin(), lines.end(), [&](const QString& line) { return text.contains(line); });
    };
    const auto panelWords = [&](const AccessibilityCaptureDebug& capture) {
        QStringList seen;
        for (const QString& word : {QStringLiteral("Private"), QStringLiteral("chat"), QStringLiteral("back to")}) {
            if (capture.evidence.text.contains(word, Qt::CaseInsensitive))
                seen.append(word);
        }
        return seen.join(QLatin1Char(',')).toStdString();
    };
    std::optional<AccessibilityCaptureDebug> result = captureUntil(observer, allLines);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->evidence.title, QStringLiteral("Quay terminal"));
    EXPECT_EQ(result->evidence.capturePath, QStringLiteral("window+ocr"));
    EXPECT_EQ(result->accessibilityAttempts, 1);
    EXPECT_TRUE(allLines(*result)) << "the first line lies where a title bar would be: "
                                   << result->evidence.text.toStdString();
    EXPECT_EQ(panelWords(*result), "") << result->evidence.text.toStdString();

    // With a compositor the grab reads the terminal's own pixels.
    QProcess compositor;
    compositor.start(QStringLiteral("xcompmgr"), {});
    ASSERT_TRUE(compositor.waitForStarted());
    ASSERT_TRUE(test::waitUntil([] { return platform::X11Connection::shared()->compositorRunning(); }, waitLimit));
    result = captureUntil(observer, allLines);
    compositor.kill();
    compositor.waitForFinished();
    ASSERT_TRUE(result);
    EXPECT_TRUE(allLines(*result)) << result->evidence.text.toStdString();
    EXPECT_EQ(panelWords(*result), "") << result->evidence.text.toStdString();
}

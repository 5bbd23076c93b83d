#include "tavrine/capture/ActivityObserver.h"

#include "tavrine/capture/ElementReader.h"
#include "tavrine/capture/ScreenAddress.h"
#include "tavrine/capture/TabSearch.h"
#include "tavrine/capture/TextWalk.h"
#include "tavrine/capture/WindowResolution.h"
#include "tavrine/core/Error.h"
#include "tavrine/core/Log.h"
#include "tavrine/core/Text.h"
#include "tavrine/ocr/TextRecognition.h"

#include <QCoro/QCoroFuture>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace tavrine {

namespace {

constexpr qsizetype mergeBudget = 2400;
constexpr double activationWait = 0.5;
constexpr double activationPoll = 0.02;
// X11's BadWindow: the activation had no window to go to.
constexpr int noWindowError = 3;

const QString unknownApp = QStringLiteral("Unknown app");

} // namespace

ActivityObserver::ActivityObserver(capture::CaptureServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
    // Accessibility reads block on other applications: two threads keep a capture and a page read apart.
    m_pool.setMaxThreadCount(2);
}

ActivityObserver::~ActivityObserver() {
    m_closed->store(true);
    if (m_activeCapture)
        m_activeCapture->cancelled->store(true);
    // The pool waits for its running reads here; a cancelled walk or page read stops at its next element.
}

bool ActivityObserver::accessibilityTrusted() {
    return m_services.permissions->accessibilityGranted();
}

bool ActivityObserver::screenCaptureAllowed() {
    return m_services.permissions->screenCaptureGranted();
}

std::optional<ActivityObserver::Frontmost> ActivityObserver::frontmostOther() {
    const auto app = m_services.workspace->frontmostApplication();
    if (!app)
        return std::nullopt;
    if (app->pid == m_services.workspace->ownPid())
        return std::nullopt;
    // Only a present id of our own can match: an application without an id is never taken for Tavrine.
    const auto own = m_services.workspace->ownBundleIdentifier();
    if (own && app->bundleIdentifier == own)
        return std::nullopt;
    Frontmost frontmost;
    frontmost.pid = app->pid;
    frontmost.name = app->name.value_or(unknownApp);
    frontmost.bundle = app->bundleIdentifier.value_or(QString::number(app->pid));
    return frontmost;
}

QCoro::Task<std::optional<AccessibilityCaptureDebug>>
ActivityObserver::captureFrontmostActivity(bool includeScreenshot) {
    const auto frontmost = frontmostOther();
    if (!frontmost)
        co_return std::nullopt;
    capture::CaptureRequest request;
    request.pid = frontmost->pid;
    request.appName = frontmost->name;
    request.bundle = frontmost->bundle;
    request.includeScreenshot = includeScreenshot;
    request.requestWebAccessibility = !m_webAccessibilityRequestedPIDs.contains(frontmost->pid);
    request.waitsForPage = m_services.browsers.contains(frontmost->bundle);
    m_webAccessibilityRequestedPIDs.insert(frontmost->pid);

    auto control = std::make_shared<ActiveCapture>();
    m_activeCapture = control;
    QPointer<ActivityObserver> self(this);
    AccessibilityCaptureDebug result = co_await captureWindowEvidence(request, control);
    if (!self)
        co_return std::nullopt;
    m_activeCapture.reset();
    if (control->cancelled->load())
        co_return std::nullopt;
    co_return result;
}

namespace {

// Text recognition merged into the base; none when the capture was cancelled meanwhile. Kept apart from the
// capture's own frame: its exception stays inside this small coroutine.
QCoro::Task<std::optional<MergedText>> recognizeIntoBase(QImage crop, double band, QString base,
                                                         CancellationToken cancel) {
    std::optional<MergedText> merged;
    try {
        merged = co_await recognizeAndMerge(std::move(crop), band, std::move(base), mergeBudget, cancel);
    } catch (const CancelledError&) {
        merged.reset();
    }
    co_return merged;
}

// The page address a browser's address bar shows; none when the capture was cancelled meanwhile.
QCoro::Task<std::optional<QString>> readToolbarAddress(QImage band, QString windowTitle, CancellationToken cancel) {
    std::optional<QString> address;
    try {
        address = co_await capture::readScreenAddress(std::move(band), std::move(windowTitle), cancel);
    } catch (const CancelledError&) {
        address.reset();
    }
    co_return address;
}

} // namespace

QCoro::Task<AccessibilityCaptureDebug> ActivityObserver::captureWindowEvidence(capture::CaptureRequest request,
                                                                               std::shared_ptr<ActiveCapture> control) {
    // GCC 12 destroys the captures of a lambda written inside a co_await expression twice: lambdas that a
    // coroutine hands to a thread are named first.
    const auto job = [services = m_services, request, control] {
        return capture::captureWindowEvidence(services, request, *control->cancelled);
    };
    capture::CaptureStage stage = co_await QtConcurrent::run(&m_pool, job);
    if (!stage.crop || control->cancelled->load())
        co_return stage.debug;
    // A browser that keeps its page out of the tree, or its page's address, still shows the address in its tool
    // bar.
    std::optional<QString> screenAddress;
    if (stage.toolbar) {
        screenAddress =
            co_await readToolbarAddress(*stage.toolbar, stage.debug.evidence.title, control->source.token());
        if (control->cancelled->load())
            co_return stage.debug;
        if (screenAddress) {
            stage.debug.evidence.url = *screenAddress;
            capture::writeSummary(stage.debug.evidence, request.appName);
        }
        const ActivityEvidence& read = stage.debug.evidence;
        m_screenAddress =
            screenAddress ? std::optional<ScreenAddress>({read.pid, read.title, *screenAddress}) : std::nullopt;
    }
    // The diagnostics tell an address read from the screen from one the browser gave.
    const QString addressMark = screenAddress ? QStringLiteral("+screen-address") : QString();
    // What little of the window shows would stand for all of it: the evidence keeps its title and tree, and the
    // diagnostics say why it holds no screenshot text.
    if (stage.mostlyCovered) {
        stage.debug.evidence.capturePath = QStringLiteral("window-covered") + addressMark;
        co_return stage.debug;
    }
    // Recognition stops where the merge budget ends; an exact pixel match reuses earlier lines.
    const std::optional<MergedText> merged = co_await recognizeIntoBase(
        *stage.crop, stage.recognitionBand, stage.debug.evidence.header, control->source.token());
    ActivityEvidence& evidence = stage.debug.evidence;
    if (merged && !control->cancelled->load()) {
        evidence.text = merged->text;
        evidence.ocrCharacters = merged->added;
        evidence.capturePath = merged->added > 0 ? QStringLiteral("window+ocr") : QStringLiteral("window");
    }
    evidence.capturePath += addressMark;
    co_return stage.debug;
}

void ActivityObserver::cancelCapture() {
    if (!m_activeCapture)
        return;
    m_activeCapture->cancelled->store(true);
    m_activeCapture->source.cancel();
}

std::optional<ActivityWindowIdentity> ActivityObserver::currentWindowIdentity() {
    const auto frontmost = frontmostOther();
    if (!frontmost || !accessibilityTrusted())
        return std::nullopt;
    const capture::ResolvedWindow resolved = capture::resolveWindowIdentity(*m_services.workspace, frontmost->pid);
    if (!resolved.title)
        return std::nullopt;
    return ActivityWindowIdentity{frontmost->bundle, frontmost->pid, resolved.windowID, *resolved.title};
}

QCoro::Task<std::optional<FrontmostPage>> ActivityObserver::frontmostPage(QSet<QString> browsers) {
    if (!accessibilityTrusted())
        co_return std::nullopt;
    const auto frontmost = frontmostOther();
    if (!frontmost)
        co_return std::nullopt;
    const bool browser = browsers.contains(frontmost->bundle);
    if (browser)
        m_webAccessibilityRequestedPIDs.insert(frontmost->pid);
    const capture::CaptureServices services = m_services;
    const Frontmost app = *frontmost;
    const std::optional<ScreenAddress> remembered = m_screenAddress;
    const auto closed = m_closed;
    const auto job = [services, app, browser, remembered, closed] {
        FrontmostPage read{app.name, app.bundle, app.pid, QString(), QString()};
        const capture::ResolvedWindow resolved = capture::resolveWindowIdentity(*services.workspace, app.pid);
        if (!resolved.title)
            return read;
        read.title = *resolved.title;
        if (!browser)
            return read;
        // The observer going away stops the read within the batch on its way.
        capture::ElementReader reader(*services.accessibility, *closed);
        if (const auto application = services.accessibility->application(app.pid)) {
            if (const auto window = reader.windowElement(*application, read.title))
                read.url = capture::pageURL(reader, *window, services.uptime);
        }
        // What the last capture read off this window's tool bar, while it shows the same page.
        if (read.url.isEmpty() && remembered && remembered->pid == app.pid && remembered->title == read.title)
            read.url = remembered->url;
        return read;
    };
    FrontmostPage page = co_await QtConcurrent::run(&m_pool, job);
    co_return page;
}

void ActivityObserver::returnToWindow(const ActivityWindowIdentity& identity) {
    // The window's own application where it still shows (a process can show several applications), else the
    // process's.
    auto app = identity.windowID ? m_services.workspace->windowApplication(*identity.windowID) : std::nullopt;
    if (!app || app->pid != identity.pid)
        app = m_services.workspace->runningApplication(identity.pid);
    if (!app)
        return;
    // A pid now used by another application is left alone.
    if (app->bundleIdentifier.value_or(QString::number(identity.pid)) != identity.bundle)
        return;
    [](QPointer<ActivityObserver> self, ActivityWindowIdentity identity) -> QCoro::Task<void> {
        try {
            if (self)
                co_await self->bringToFront(identity.pid, identity.bundle, identity.title);
        } catch (const std::exception& error) {
            log::error(logFocus(), QStringLiteral("bringToFront failed: ") + QString::fromUtf8(error.what()));
        }
    }(QPointer<ActivityObserver>(this), identity);
}

std::optional<platform::XWindowId> ActivityObserver::activationTarget(qint32 pid, const QString& title) {
    const QList<platform::WindowInfo> windows = m_services.workspace->windows(pid);
    for (const platform::WindowInfo& window : windows) {
        if (window.title == title)
            return window.id;
    }
    if (!windows.isEmpty())
        return windows.first().id;
    return std::nullopt;
}

QCoro::Task<bool> ActivityObserver::waitForActivation(qint32 pid) {
    const auto workspace = m_services.workspace;
    Clock* clock = m_services.clock ? m_services.clock : &Clock::system();
    const auto closed = m_closed;
    const double end = clock->now() + activationWait;
    while (true) {
        if (const auto active = workspace->activeWindow()) {
            if (const auto info = workspace->window(*active); info && info->pid == pid)
                co_return true;
        }
        if (closed->load() || clock->now() >= end)
            co_return false;
        co_await clock->sleep(activationPoll);
    }
}

QCoro::Task<void> ActivityObserver::bringToFront(qint32 pid, QString bundle, QString title) {
    QPointer<ActivityObserver> self(this);
    QString status = QStringLiteral("activated only");
    if (!accessibilityTrusted()) {
        if (const auto target = activationTarget(pid, title))
            m_services.workspace->activate(*target);
        const bool activated = co_await waitForActivation(pid);
        status += QStringLiteral(" activate=") + (activated ? QStringLiteral("true") : QStringLiteral("false"));
    } else {
        const capture::CaptureServices services = m_services;
        const std::optional<platform::XWindowId> fallback = activationTarget(pid, title);
        const auto job = [services, pid, title, fallback] {
            QString text = QStringLiteral("activated only");
            std::optional<platform::XWindowId> target = fallback;
            if (!title.isEmpty()) {
                capture::ElementReader reader(*services.accessibility);
                capture::TabSearchResult result = capture::pressMatchingTab(reader, *services.workspace, pid, title);
                text = result.status;
                if (result.window)
                    target = result.window;
            }
            const int frontmost = target ? services.workspace->activate(*target) : noWindowError;
            return text + QStringLiteral(" frontmost=") + QString::number(frontmost);
        };
        status = co_await QtConcurrent::run(&m_pool, job);
        if (!self)
            co_return;
        const bool activated = co_await waitForActivation(pid);
        status += QStringLiteral(" activate=") + (activated ? QStringLiteral("true") : QStringLiteral("false"));
    }
    log::notice(logFocus(), QStringLiteral("bringToFront bundle=%1 titleLength=%2 %3")
                                .arg(log::priv(bundle))
                                .arg(text::graphemeCount(title))
                                .arg(status));
}

} // namespace tavrine

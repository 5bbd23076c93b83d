#include "tavrine/capture/CaptureRoutine.h"

#include "tavrine/capture/AddressField.h"
#include "tavrine/capture/ChromeBars.h"
#include "tavrine/capture/ContentFrame.h"
#include "tavrine/capture/ElementReader.h"
#include "tavrine/capture/ScreenAddress.h"
#include "tavrine/capture/TextWalk.h"
#include "tavrine/capture/WindowResolution.h"
#include "tavrine/model/ImageData.h"
#include "tavrine/platform/ApplicationIdentity.h"

#include <cmath>

namespace tavrine::capture {

namespace {

constexpr double walkSeconds = 1.5;
constexpr int attemptLimit = 3;
constexpr double firstRetryWait = 0.12;
constexpr double secondRetryWait = 0.24;
// The search for the focused element is bounded on its own, before the walk's deadline starts.
constexpr int focusSearchNodes = 400;
constexpr double focusSearchSeconds = 0.5;

const QString windowCaptureSource = QStringLiteral("Window capture");

} // namespace

CaptureStage captureWindowEvidence(const CaptureServices& services, const CaptureRequest& request,
                                   const std::atomic<bool>& cancelled) {
    CaptureStage stage;
    AccessibilityCaptureDebug& debug = stage.debug;
    ActivityEvidence& evidence = debug.evidence;
    evidence.app = request.appName;
    evidence.bundle = request.bundle;
    evidence.pid = request.pid;
    evidence.source = windowCaptureSource;
    evidence.capturePath = QStringLiteral("accessibility");

    if (!services.permissions->accessibilityGranted()) {
        evidence.issue = issue::accessibilityNeeded;
        return stage;
    }

    platform::Workspace& workspace = *services.workspace;
    ElementReader reader(*services.accessibility, cancelled);
    const std::optional<AccessibleRef> application = services.accessibility->application(request.pid);

    const ResolvedWindow resolved = resolveWindowIdentity(workspace, request.pid);
    if (!resolved.title) {
        evidence.issue = issue::noFocusedWindow;
        return stage;
    }
    evidence.title = *resolved.title;
    evidence.windowID = resolved.windowID;
    evidence.windowFrame = resolved.frame;
    debug.windowFrame = resolved.frame;

    // An application without a tree (many terminals, Electron and Java programs) still has its X11 window: the
    // walk then reads nothing and the screenshot carries the capture.
    const std::optional<AccessibleRef> window =
        application ? reader.windowElement(*application, evidence.title) : std::nullopt;
    std::optional<AccessibleRef> focused;
    if (window) {
        focused = reader.focusedElement(*window, focusSearchNodes, services.uptime() + focusSearchSeconds,
                                        services.uptime, cancelled);
    }
    // Names of the program itself, which never say what is worked on (a reverse-domain id ends in the program's
    // name).
    const QStringList applicationNames{request.appName, request.bundle, request.bundle.section(QLatin1Char('.'), -1),
                                       platform::processName(request.pid)};
    QStringList labels;
    if (focused) {
        if (reader.role(*focused) == platform::role::passwordText) {
            evidence.issue = issue::secureInput;
            return stage;
        }
        evidence.focusedDescription = reader.readFocusedDescription(*focused, request.appName);
        labels = reader.ancestorLabels(*focused, request.appName, evidence.title);
    }

    const double deadline = services.uptime() + walkSeconds;
    WalkState walk;
    // Retries wait for a browser to build its page's tree; other applications show their whole tree at once, and
    // with no tree at all there is nothing to wait for.
    const int attempts = window && request.waitsForPage ? attemptLimit : 1;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        debug.accessibilityAttempts = attempt;
        walk.reset();
        evidence.url.clear();
        if (window) {
            collectVisibleText(reader, *window, 0, walk, evidence, deadline, services.uptime, cancelled);
            if (evidence.url.isEmpty())
                evidence.url = reader.elementURL(*window);
        }
        if (walk.foundWebArea || attempt == attempts)
            break;
        if (cancelled.load())
            return stage;
        services.sleep(attempt == 1 ? firstRetryWait : secondRetryWait, cancelled);
    }
    // A browser whose tree gives its page no address (it draws its pages itself, or its page has none) still shows
    // the address in its address field.
    if (window && request.waitsForPage && evidence.url.isEmpty() && !cancelled.load())
        evidence.url =
            AddressField(reader).read(*window, services.uptime() + AddressField::searchSeconds, services.uptime);

    evidence.contentFrame = evidence.windowFrame;
    fillAccessibilitySummary(evidence, walk.walked, request.appName, labels, applicationNames);

    if (cancelled.load() || !request.includeScreenshot) {
        evidence.capturePath = QStringLiteral("screenshot-disabled");
        return stage;
    }
    if (!services.permissions->screenCaptureGranted()) {
        evidence.issue = issue::screenRecordingNeeded;
        evidence.capturePath = QStringLiteral("screenshot-unavailable");
        return stage;
    }
    if (!evidence.windowID) {
        evidence.issue = issue::noVisibleWindow;
        evidence.capturePath = QStringLiteral("screenshot-unavailable");
        return stage;
    }

    const auto shown = workspace.window(*evidence.windowID);
    if (!shown || shown->pid != request.pid || !shown->onScreen || shown->frame.isEmpty()) {
        evidence.issue = issue::windowGone;
        evidence.capturePath = QStringLiteral("screenshot-unavailable");
        return stage;
    }
    if (cancelled.load())
        return stage;

    const QRectF settled = evidence.windowFrame.value_or(QRectF(shown->frame));
    evidence.windowFrame = settled;
    evidence.contentFrame = settled;
    debug.windowFrame = settled;
    fillAccessibilitySummary(evidence, walk.walked, request.appName, labels, applicationNames);

    const std::optional<QRectF> focusedFrame = focused ? reader.elementFrame(*focused) : std::nullopt;
    const QRectF content = acceptContentFrame(
        estimateContentFrame(walk.webAreaFrames, walk.scrollAreaFrames, focusedFrame, settled), settled);
    evidence.contentFrame = content;

    const QSize size = captureImageSize(QRectF(shown->frame), services.pixelsPerPoint);
    std::optional<platform::WindowImage> grabbed = services.grabber->grab(*evidence.windowID);
    std::optional<QImage> image = grabbed ? std::optional<QImage>(std::move(grabbed->image)) : std::nullopt;
    stage.mostlyCovered = grabbed && grabbed->coveredShare > mostlyCoveredShare;
    if (!image || image->isNull()) {
        evidence.issue = issue::captureUnavailable;
        evidence.capturePath = QStringLiteral("screenshot-unavailable");
        return stage;
    }
    if (image->size() != size)
        *image = image->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // A browser's page whose tree gives no address (no web document at all, or one without an address, as
    // QtWebEngine shows its pages) is addressed from its tool bar.
    if (request.waitsForPage && evidence.url.isEmpty()) {
        const int height = int(std::ceil(image->height() * toolbarBand));
        stage.toolbar = imageRegion(*image, QRect(0, 0, image->width(), height));
    }
    // Chrome stays out of the picture as it stays out of the tree's text.
    blankBars(*image, walk.barFrames, settled);
    if (cancelled.load())
        return stage;

    const QRect pixels = pixelCropRect(content, settled, image->width(), image->height());
    const bool cropped = pixels.width() >= 2 && pixels.height() >= 2 && pixels != image->rect();
    // Read in place: a copy of the page would cost more than the rest of an unchanged capture.
    const QImage crop = cropped ? imageRegion(*image, pixels) : *image;
    // The grab is the client area: a title bar drawn by the window manager lies outside it, and a content crop
    // (a page, a scroll pane) starts below the window's own. Only a whole window that draws its own title bar
    // has one at its top.
    stage.recognitionBand = !cropped && !shown->managerTitleBar ? titleBand(walk.barFrames, settled) : 0.0;
    const CropEncoder::Encoded encoded = services.encoder
                                             ? services.encoder->encode(crop)
                                             : CropEncoder::Encoded{PngBytes::encoding(crop), imageFingerprint(crop), crop};
    evidence.imagePNG = encoded.png;
    evidence.imageFingerprint = encoded.fingerprint;
    evidence.source = windowCaptureSource;
    evidence.capturePath = QStringLiteral("window");
    if (evidence.imagePNG)
        stage.crop = encoded.crop;
    return stage;
}

} // namespace tavrine::capture

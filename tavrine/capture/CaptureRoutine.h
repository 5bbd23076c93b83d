#pragma once

#include "tavrine/capture/CaptureServices.h"
#include "tavrine/model/AccessibilityCaptureDebug.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <optional>

namespace tavrine::capture {

// What one capture is asked to observe.
struct CaptureRequest {
    qint32 pid = 0;
    QString appName;
    QString bundle;
    bool includeScreenshot = true;
    // The process is seen for the first time. Linux toolkits expose their trees by the desktop's setting, not
    // on a per-process request, so no request goes out and the record reports none.
    bool requestWebAccessibility = false;
    // A browser builds its page's tree after its window: an attempt that finds no web document is repeated.
    // Any other application is walked once.
    bool waitsForPage = false;
};

// The part of a capture that blocks: everything up to the cropped screenshot. `crop` is set when text
// recognition is due on it (the PNG was made).
struct CaptureStage {
    AccessibilityCaptureDebug debug;
    std::optional<QImage> crop;
    // The top part of the crop whose recognised lines are left out: a window's own title bar. 0 unless the crop
    // is the whole window and the window draws its title bar itself (the window manager draws none above it).
    double recognitionBand = 0.0;
    // Windows stacked above covered most of the window: its screenshot's text is left out (the covered parts are
    // blanked, and too little of the window's own is left to read).
    bool mostlyCovered = false;
    // A browser window whose tree gives no page address: the top of its screenshot, where the address bar is, to
    // read the page's address from.
    std::optional<QImage> toolbar;
};

// The covered share of a window above which its screenshot's text is left out.
inline constexpr double mostlyCoveredShare = 0.5;

// The top band of a window's own title bar, as a fraction of the image height, where the tree shows no bar there.
inline constexpr double titleBarBand = 0.1;

// Reads the process's focused window (X11 identity and frame, the accessibility walk with its attempts and
// waits, the summary), then takes, crops and encodes its screenshot. Capture problems end up in the evidence's
// issue and capture path, never thrown. Checks `cancelled` between its steps and returns what it has. Runs on
// a worker thread.
CaptureStage captureWindowEvidence(const CaptureServices& services, const CaptureRequest& request,
                                   const std::atomic<bool>& cancelled);

// The user-facing issue texts of a capture.
namespace issue {
inline const QString accessibilityNeeded = QStringLiteral("Accessibility permission is needed.");
inline const QString noFocusedWindow = QStringLiteral("No readable focused window.");
inline const QString secureInput = QStringLiteral("Secure input \u00b7 staying quiet");
inline const QString screenRecordingNeeded = QStringLiteral("Screen Recording permission is needed for this window.");
inline const QString noVisibleWindow = QStringLiteral("No visible window to observe.");
inline const QString captureUnavailable =
    QStringLiteral("Window capture is unavailable. Check Screen Recording permission.");
inline const QString windowGone = QStringLiteral("The window is no longer visible.");
} // namespace issue

} // namespace tavrine::capture

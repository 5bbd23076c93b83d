#pragma once

#include "tavrine/model/AccessibilitySelection.h"
#include "tavrine/model/ActivityEvidence.h"

#include <QRectF>
#include <QtGlobal>
#include <optional>

namespace tavrine {

// The result of one capture. The session uses only `evidence`; the rest tells how the capture went.
struct AccessibilityCaptureDebug {
    ActivityEvidence evidence;
    // The focused window's frame as the capture used it; absent when it stopped before reading the window.
    std::optional<QRectF> windowFrame;
    AccessibilitySelection selection;
    // Accessibility walks run: 0 when the capture stopped before the walk, else 1 to 3.
    int accessibilityAttempts = 0;
    // Raw status of this capture's request to expose the application's accessibility tree (0 = success);
    // absent when no request was made.
    std::optional<qint32> webAccessibilityRequestStatus;
};

} // namespace tavrine

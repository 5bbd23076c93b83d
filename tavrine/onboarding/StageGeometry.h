#pragma once

#include "tavrine/onboarding/OnboardingRehearsal.h"

#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QVariant>
#include <optional>

namespace tavrine::onboarding {

// Where the stage's windows go, in screen coordinates (y grows downwards). V is the screen's available area
// (without panels and docks), S the whole screen. Halves round away from zero.
namespace stagegeometry {

struct Layout {
    QRect design;
    QRect video;
    // Over the whole width of the screen but only the available height: panels and the tray stay uncovered.
    QRect dim;
};

Layout layout(const QRect& screen, const QRect& available);

// What the coach hangs under in `beat`: the video for tempted, drifting and researching, the design for
// working, returned and finished, and while nudged the visible nudge card, else the video.
QRectF coachAnchor(OnboardingRehearsal::Beat beat, const QRectF& design, const QRectF& video,
                   const std::optional<QRectF>& nudge);

// The coach of `size` 14 px under `anchor`, kept 12 px inside the available area's sides (the right side wins)
// and its bottom; there is no top bound.
QRect coachFrame(const QRectF& anchor, const QSizeF& size, const QRect& available);

// The notch panel's visible card: in 24 px on the left and right, 28 px shorter at the bottom.
QRectF notchCardFrame(const QRectF& panel);

enum class TrayEdge { Top, Bottom };

struct PointerPlacement {
    // False: the tray icon is on another screen; the pointer hides and placement is tried again.
    bool visible = false;
    QRect frame;
    // The tray sits at the bottom: the pointer stands above the icon and points down.
    bool pointsDown = false;
    // The tray could not be found: the pointer stands in the top-right corner of the available area.
    bool fallback = false;
    TrayEdge edge = TrayEdge::Top;
    // How far right of the panel's middle the arrow stands (left when negative): the panel kept inside the
    // screen's sides would otherwise point beside an icon near them. Within the panel, clear of its sides.
    double arrowOffset = 0;
};

inline constexpr int pointerWidth = 190;
inline constexpr int pointerHeight = 70;
inline constexpr double pointerArrowReach = pointerWidth / 2.0 - 6;

// The pointer under (or above) the tray icon's frame `icon` on `screen`, its arrow at the icon's middle; with no
// frame, or an empty one, the fallback corner.
PointerPlacement pointer(const std::optional<QRectF>& icon, const QRect& screen, const QRect& available);

// The dim's window mask while the tray icon's frame `icon` lies on it: the dim of frame `dim` (in its own
// coordinates) without the icon and 2 px around it, so that a tray host that reserves no room stays visible
// above it. None (no mask) when the icon is not on the dim.
QRegion dimMask(const QRect& dim, const std::optional<QRectF>& icon);

// A panel's window mask where nothing composites, in the window's coordinates: the union of the content's
// `outline` shapes, each a map with "rect" (a rectangle, rounded by an optional "radius") or "points" (a
// polygon); without shapes, the whole window of `size` with corners rounded by `radius`.
QRegion outlineMask(const QVariantList& outline, double radius, const QSize& size);

} // namespace stagegeometry
} // namespace tavrine::onboarding

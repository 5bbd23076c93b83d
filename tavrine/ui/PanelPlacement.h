#pragma once

#include <QRect>
#include <QRegion>
#include <QSize>
#include <QSizeF>
#include <optional>

namespace tavrine::ui {

// A panel's window mask where nothing composites and a window cannot be translucent: `rect` with its corners
// rounded by `radius` (square without one).
QRegion roundedMask(const QRectF& rect, double radius);

// Where the main window ("focus") opens: under a tray icon in the upper half of the screen, above one in the
// lower half, and which of its edges stays put while its height follows its content. All in y-down screen
// coordinates; `available` is the screen's available geometry.
struct TrayPlacement {
    enum class Edge { Top, Bottom };
    QPoint topLeft;
    Edge keptEdge = Edge::Top;
};

// The gap to the screen's sides and to the icon.
inline constexpr int trayScreenMargin = 8;
inline constexpr int trayIconGap = 4;

TrayPlacement placeNearTrayIcon(const QRect& icon, const QSize& window, const QRect& available);
// Without a tray, or before it placed its icon: the top-right corner of the available area, 8 pixels in.
TrayPlacement fallbackPlacement(const QSize& window, const QRect& available);
// The window's new frame when its content asks for `contentHeight`, with the kept edge where it was; none when
// the height differs by half a pixel or less (a layout that rounds differently must not make the window creep).
std::optional<QRect> followContentHeight(const QRect& frame, qreal contentHeight, TrayPlacement::Edge kept);

// The floating nudge card at the top-right corner of the available area, 24 pixels in, and its 24 × 24 close
// button overhanging the card's top-left corner.
struct NudgeCardLayout {
    QRect card;
    QRect closeButton;
};

inline constexpr QSize nudgeCardFallbackSize{496, 212};
inline constexpr int nudgeCardMaximumHeight = 320;
inline constexpr int nudgeCardInset = 24;
inline constexpr int nudgeCloseButtonSize = 24;
inline constexpr int nudgeCloseButtonOverhang = 6;

// `fitting` is the card's own size; a card that reports a size too small to be real (under 100 wide or 80 high,
// as before its first layout) takes 496 × 212.
NudgeCardLayout layoutNudgeCard(const QSizeF& fitting, const QRect& available);

} // namespace tavrine::ui

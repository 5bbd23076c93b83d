#pragma once

#include <QPainterPath>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <optional>

class QScreen;

namespace tavrine::nudge {

// What the notch rule reads of a screen: its frame, the height of the band at its top that a camera housing
// makes unusable, and the usable areas of that band left and right of the housing.
struct ScreenGeometry {
    QRectF frame;
    double safeAreaTopInset = 0;
    std::optional<QRectF> auxiliaryTopLeftArea;
    std::optional<QRectF> auxiliaryTopRightArea;
};

// The notch of a screen, none when it has none.
std::optional<QSizeF> notchSize(const ScreenGeometry& screen);

// Where a screen's geometry comes from. X11 screens have no camera housing, so the desktop probe reports no
// inset and no areas; tests and the render program inject one.
class ScreenGeometryProbe {
public:
    virtual ~ScreenGeometryProbe() = default;
    virtual ScreenGeometry geometry(const QScreen& screen) const;
};

// The silhouette's two radii after the clamps that keep its corners from crossing in a w × h rectangle.
struct NotchRadii {
    double ear = 0;
    double bottom = 0;
    bool operator==(const NotchRadii&) const = default;
};
NotchRadii clampedNotchRadii(double w, double h, double earRadius, double bottomRadius);

// The black silhouette in `rect`: ears flaring into the top edge, a body with rounded bottom corners.
QPainterPath notchShapePath(const QRectF& rect, double earRadius, double bottomRadius);

// The silhouette's radii and the closed cap's size.
inline constexpr NotchRadii kOpenNotchRadii{10, 26};
inline constexpr NotchRadii kClosedNotchRadii{6, 10};
QSizeF closedCapSize(const QSizeF& notch);
// The close row's height beside the notch.
double closeRowHeight(const QSizeF& notch);

// The panel's size: the view's fitting size, or 508 × 240 when it is smaller than 100 × 80.
QSizeF notchPanelSize(const QSizeF& fitting);
// The panel on a screen: centred horizontally (rounded, halves away from zero), its top on the screen's top.
QRect notchPanelRect(const QRectF& screenFrame, const QSizeF& fitting);

} // namespace tavrine::nudge

#include "tavrine/onboarding/StageGeometry.h"

#include "tavrine/ui/PanelPlacement.h"

#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace tavrine::onboarding::stagegeometry {

namespace {

int rounded(double value) {
    return std::isfinite(value) ? int(std::lround(value)) : 0;
}

} // namespace

Layout layout(const QRect& screen, const QRect& available) {
    const QRectF v(available);
    const double designWidth = std::min(v.width() - 220, 820.0);
    const double designHeight = std::min(v.height() - 250, 540.0);
    const double videoWidth = std::min(v.width() - 180, 900.0);
    const double videoHeight = std::min(v.height() - 230, 560.0);
    const double spanWidth = std::max(designWidth, videoWidth + 130);
    const double spanHeight = std::max(designHeight, videoHeight + 56);
    const double left = v.x() + (v.width() - spanWidth) * 0.5;
    const double top = v.y() + std::max((v.height() - 130 - spanHeight) * 0.5, 24.0);

    Layout result;
    result.design = QRect(rounded(left), rounded(top), rounded(designWidth), rounded(designHeight));
    result.video = QRect(rounded(left + 130), rounded(top + 56), rounded(videoWidth), rounded(videoHeight));
    result.dim = QRect(screen.x(), available.y(), screen.width(), available.height());
    return result;
}

QRectF coachAnchor(OnboardingRehearsal::Beat beat, const QRectF& design, const QRectF& video,
                   const std::optional<QRectF>& nudge) {
    using Beat = OnboardingRehearsal::Beat;
    switch (beat) {
    case Beat::Tempted:
    case Beat::Drifting:
    case Beat::Researching:
        return video;
    case Beat::Nudged:
        return nudge.value_or(video);
    case Beat::Working:
    case Beat::Returned:
    case Beat::Finished:
        break;
    }
    return design;
}

QRect coachFrame(const QRectF& anchor, const QSizeF& size, const QRect& available) {
    const QRectF v(available);
    const double w = size.width();
    const double h = size.height();
    double x = anchor.center().x() - w * 0.5;
    if (x <= v.x() + 12)
        x = v.x() + 12;
    if (x > v.x() + v.width() - w - 12)
        x = v.x() + v.width() - w - 12;
    double y = anchor.y() + anchor.height() + 14;
    const double bottom = v.y() + v.height() - 12;
    if (y + h > bottom)
        y = bottom - h;
    return QRect(rounded(x), rounded(y), rounded(w), rounded(h));
}

QRectF notchCardFrame(const QRectF& panel) {
    return QRectF(panel.x() + 24, panel.y(), panel.width() - 48, panel.height() - 28);
}

PointerPlacement pointer(const std::optional<QRectF>& icon, const QRect& screen, const QRect& available) {
    PointerPlacement placement;
    if (!icon || !(icon->width() > 0)) {
        placement.visible = true;
        placement.fallback = true;
        placement.frame = QRect(available.x() + available.width() - 198, available.y() + 8, pointerWidth,
                                pointerHeight);
        return placement;
    }
    // In QRectF: QRect's right() and bottom() are one pixel short of the edge.
    const QRectF s(screen);
    const QRectF f = *icon;
    const double midX = f.center().x();
    const bool insideHorizontally = midX > s.x() && midX < s.x() + s.width();
    const bool overlapsVertically = f.y() + f.height() > s.y() && s.y() + s.height() > f.y();
    if (!insideHorizontally || !overlapsVertically)
        return placement;

    double x = midX - pointerWidth / 2.0;
    if (x <= s.x() + 6)
        x = s.x() + 6;
    x = std::min(x, s.x() + s.width() - 196);
    placement.visible = true;
    placement.arrowOffset =
        std::clamp(midX - (rounded(x) + pointerWidth / 2.0), -pointerArrowReach, pointerArrowReach);
    placement.pointsDown = f.center().y() >= s.center().y();
    placement.edge = placement.pointsDown ? TrayEdge::Bottom : TrayEdge::Top;
    const double y = placement.pointsDown ? f.y() - 72 : f.y() + f.height() + 2;
    placement.frame = QRect(rounded(x), rounded(y), pointerWidth, pointerHeight);
    return placement;
}

QRegion dimMask(const QRect& dim, const std::optional<QRectF>& icon) {
    if (!icon || dim.isEmpty())
        return {};
    const QRect hole = icon->toAlignedRect().adjusted(-2, -2, 2, 2).translated(-dim.topLeft());
    const QRect whole(QPoint(0, 0), dim.size());
    if (!whole.intersects(hole))
        return {};
    return QRegion(whole).subtracted(hole);
}

QRegion outlineMask(const QVariantList& outline, double radius, const QSize& size) {
    QRegion region;
    for (const QVariant& entry : outline) {
        const QVariantMap shape = entry.toMap();
        if (shape.contains(QStringLiteral("points"))) {
            QPolygonF polygon;
            for (const QVariant& point : shape.value(QStringLiteral("points")).toList())
                polygon << point.toPointF();
            if (polygon.size() >= 3)
                region += QRegion(polygon.toPolygon());
        } else if (const QRectF rect = shape.value(QStringLiteral("rect")).toRectF(); !rect.isEmpty()) {
            region += ui::roundedMask(rect, shape.value(QStringLiteral("radius")).toDouble());
        }
    }
    if (region.isEmpty() && !size.isEmpty())
        region = ui::roundedMask(QRectF(QPointF(0, 0), QSizeF(size)), radius);
    return region;
}

} // namespace tavrine::onboarding::stagegeometry

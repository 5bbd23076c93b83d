#include "tavrine/nudge/NotchGeometry.h"

#include <QScreen>
#include <algorithm>
#include <cmath>

namespace tavrine::nudge {

std::optional<QSizeF> notchSize(const ScreenGeometry& screen) {
    if (!(screen.safeAreaTopInset > 0))
        return std::nullopt;
    if (!screen.auxiliaryTopLeftArea || !screen.auxiliaryTopRightArea)
        return std::nullopt;
    const double width =
        screen.frame.width() - screen.auxiliaryTopLeftArea->width() - screen.auxiliaryTopRightArea->width();
    if (!(width > 0))
        return std::nullopt;
    return QSizeF(width, screen.safeAreaTopInset);
}

ScreenGeometry ScreenGeometryProbe::geometry(const QScreen& screen) const {
    return ScreenGeometry{QRectF(screen.geometry()), 0, std::nullopt, std::nullopt};
}

NotchRadii clampedNotchRadii(double w, double h, double earRadius, double bottomRadius) {
    const double e = std::min({earRadius, w * 0.25, h * 0.5});
    const double b = std::min({bottomRadius, w * 0.5 - e, h - e});
    return {e, b};
}

QPainterPath notchShapePath(const QRectF& rect, double earRadius, double bottomRadius) {
    const auto [e, b] = clampedNotchRadii(rect.width(), rect.height(), earRadius, bottomRadius);
    const double minX = rect.left(), maxX = rect.right(), minY = rect.top(), maxY = rect.bottom();
    const double L = minX + e, R = maxX - e;
    QPainterPath path;
    path.moveTo(minX, minY);
    path.quadTo(L, minY, L, minY + e);
    path.lineTo(L, maxY - b);
    path.quadTo(L, maxY, L + b, maxY);
    path.lineTo(R - b, maxY);
    path.quadTo(R, maxY, R, maxY - b);
    path.lineTo(R, minY + e);
    path.quadTo(R, minY, maxX, minY);
    path.closeSubpath();
    return path;
}

QSizeF closedCapSize(const QSizeF& notch) {
    return {notch.width() + 12, notch.height()};
}

double closeRowHeight(const QSizeF& notch) {
    return std::max(28.0, notch.height());
}

QSizeF notchPanelSize(const QSizeF& fitting) {
    if (!(fitting.width() >= 100) || !(fitting.height() >= 80))
        return {508, 240};
    return fitting;
}

QRect notchPanelRect(const QRectF& screenFrame, const QSizeF& fitting) {
    const QSizeF size = notchPanelSize(fitting);
    const double x = std::round(screenFrame.center().x() - size.width() / 2);
    return QRect(int(x), int(std::round(screenFrame.top())), int(std::ceil(size.width())),
                 int(std::ceil(size.height())));
}

} // namespace tavrine::nudge

#include "tavrine/ui/PanelPlacement.h"

#include <QPainterPath>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace tavrine::ui {

QRegion roundedMask(const QRectF& rect, double radius) {
    if (!(radius > 0))
        return QRegion(rect.toAlignedRect());
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

TrayPlacement placeNearTrayIcon(const QRect& icon, const QSize& window, const QRect& available) {
    const int lowest = available.x() + trayScreenMargin;
    const int highest = available.x() + available.width() - window.width() - trayScreenMargin;
    const int centred = icon.x() + icon.width() / 2 - window.width() / 2;
    // A window wider than the screen keeps its left edge on the screen.
    const int x = std::max(lowest, std::min(centred, highest));
    const bool upperHalf = 2 * icon.y() + icon.height() < 2 * available.y() + available.height();
    if (upperHalf)
        return {QPoint(x, icon.y() + icon.height() + trayIconGap), TrayPlacement::Edge::Top};
    return {QPoint(x, icon.y() - trayIconGap - window.height()), TrayPlacement::Edge::Bottom};
}

TrayPlacement fallbackPlacement(const QSize& window, const QRect& available) {
    return {QPoint(available.x() + available.width() - window.width() - trayScreenMargin,
                   available.y() + trayScreenMargin),
            TrayPlacement::Edge::Top};
}

std::optional<QRect> followContentHeight(const QRect& frame, qreal contentHeight, TrayPlacement::Edge kept) {
    if (!(contentHeight > 0) || std::abs(contentHeight - frame.height()) <= 0.5)
        return std::nullopt;
    const int height = int(std::lround(contentHeight));
    if (height == frame.height())
        return std::nullopt;
    if (kept == TrayPlacement::Edge::Top)
        return QRect(frame.x(), frame.y(), frame.width(), height);
    return QRect(frame.x(), frame.y() + frame.height() - height, frame.width(), height);
}

NudgeCardLayout layoutNudgeCard(const QSizeF& fitting, const QRect& available) {
    QSize size = fitting.toSize();
    if (fitting.height() < 80 || fitting.width() < 100)
        size = nudgeCardFallbackSize;
    const int height = std::max(0, std::min({available.height() - 2 * nudgeCardInset, nudgeCardMaximumHeight,
                                             size.height()}));
    const QRect card(available.x() + available.width() - size.width() - nudgeCardInset,
                     available.y() + nudgeCardInset, size.width(), height);
    const QRect close(card.x() - nudgeCloseButtonOverhang, card.y() - nudgeCloseButtonOverhang, nudgeCloseButtonSize,
                      nudgeCloseButtonSize);
    return {card, close};
}

} // namespace tavrine::ui

#pragma once

#include <QRectF>
#include <optional>

namespace tavrine {

// Exact rectangle equality (QRectF's operator== is fuzzy): absent equals only absent.
inline bool sameRectangle(const std::optional<QRectF>& a, const std::optional<QRectF>& b) {
    if (a.has_value() != b.has_value())
        return false;
    if (!a)
        return true;
    return a->x() == b->x() && a->y() == b->y() && a->width() == b->width() && a->height() == b->height();
}

} // namespace tavrine

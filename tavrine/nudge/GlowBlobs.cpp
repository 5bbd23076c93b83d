#include "tavrine/nudge/GlowBlobs.h"

#include <algorithm>
#include <cmath>

namespace tavrine::nudge {

const std::array<QColor, 3>& glowPalette() {
    static const std::array<QColor, 3> palette{QColor::fromRgbF(1.0f, 0.32f, 0.58f),
                                               QColor::fromRgbF(1.0f, 0.72f, 0.28f),
                                               QColor::fromRgbF(0.62f, 0.34f, 1.0f)};
    return palette;
}

double glowLevel(double level) {
    if (!(level > 0)) // NaN too
        return 0;
    return std::min(level, 1.0);
}

GlowFrame glowBlobs(double w, double h, double t, double level) {
    GlowFrame frame;
    if (!std::isfinite(w) || !std::isfinite(h) || !std::isfinite(t) || w <= 0 || h <= 0)
        return frame;
    const double L = glowLevel(level);
    const int n = int(glowPalette().size());
    const double spacing = w / n;
    const double r = spacing * 1.18;
    const double half = w / 2;
    struct Record {
        int i;
        double x, dx, dy, distance;
    };
    QList<Record> records;
    for (int i = 0; i < n; ++i) {
        const double x = (i + 0.5) * spacing;
        records.append({i, x, std::sin(0.7 * t + i) * w * 0.04, std::sin(0.9 * i + 1.2 * t) * h * 0.025,
                        std::abs(x - half) / half});
    }
    for (const auto& b : records) {
        const double height = ((1 - 0.6 * b.distance) * 0.2 * L + 0.3) * h + b.dy;
        if (r > 0 && height > 0)
            frame.base.append({b.i, b.x + b.dx, r, height});
    }
    if (L > 0.01) {
        frame.innerOpacity = std::min(3 * L, 1.0);
        auto sorted = records;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Record& a, const Record& b) { return a.distance > b.distance; });
        const double ri = 0.55 * r;
        for (const auto& b : sorted) {
            const double height = ((1 - 0.4 * b.distance) * 0.2 * L + 0.3) * h + b.dy;
            if (ri > 0 && height > 0)
                frame.inner.append({b.i, b.dx * 0.5 + (b.x - half) * 0.4 + half, ri, height});
        }
    }
    return frame;
}

} // namespace tavrine::nudge

#pragma once

#include <QColor>
#include <QList>
#include <array>

namespace tavrine::nudge {

// One soft light of the voice glow: an ellipse standing on the canvas's bottom edge at x = `centerX`, `radius`
// wide on each side and `height` tall, filled with a radial gradient of the palette colour `color`.
struct GlowBlob {
    int color = 0;
    double centerX = 0;
    double radius = 0;
    double height = 0;
    bool operator==(const GlowBlob&) const = default;
};

// The glow of one frame, in drawing order: the wide base layer, then (only when the voice is audible) the
// narrower inner layer from the outer blobs towards the centre, at `innerOpacity`. Only the lower half of the
// canvas is drawn on.
struct GlowFrame {
    QList<GlowBlob> base;
    QList<GlowBlob> inner;
    double innerOpacity = 0;
};

// The palette, in order: pink, amber, violet.
const std::array<QColor, 3>& glowPalette();
// The gradient stops' opacities, evenly spaced from the centre outwards.
inline constexpr std::array<double, 3> kGlowStopOpacities{0.85, 0.28, 0.0};

// The glow on a w × h canvas at time t (seconds; 0 when the glow must stand still) for a loudness `level`
// (clamped to 0..1, not-a-number as 0). Blobs without height or radius are left out.
GlowFrame glowBlobs(double w, double h, double t, double level);

// A meter's level as the glow takes it: 0..1, NaN and negatives as 0.
double glowLevel(double level);

} // namespace tavrine::nudge

#include "tavrine/nudge/BoxBlur.h"

#include <QImage>
#include <QList>
#include <cmath>

namespace tavrine::nudge {

namespace {

// One box pass of half-width r along a row (or column) of n pixels, `stride` words apart.
void boxPass(quint32* line, int n, int stride, int r, QList<quint32>& scratch) {
    scratch.resize(n);
    for (int i = 0; i < n; ++i)
        scratch[i] = line[i * stride];
    const int width = 2 * r + 1;
    quint32 sum[4] = {0, 0, 0, 0};
    auto add = [&](int index, int sign) {
        if (index < 0 || index >= n)
            return;
        const quint32 p = scratch[index];
        for (int c = 0; c < 4; ++c)
            sum[c] += sign * ((p >> (8 * c)) & 0xff);
    };
    for (int i = -r; i <= r; ++i)
        add(i, 1);
    for (int i = 0; i < n; ++i) {
        quint32 out = 0;
        for (int c = 0; c < 4; ++c)
            out |= (sum[c] / width) << (8 * c);
        line[i * stride] = out;
        add(i - r, -1);
        add(i + r + 1, 1);
    }
}

} // namespace

void boxBlur(QImage& image, double radius) {
    if (!(radius >= 0.5) || image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Three passes of a box of half-width r spread like a Gaussian of sigma ≈ r.
    const int r = std::max(1, int(std::lround(radius / 2)));
    const int w = image.width(), h = image.height();
    const int stride = int(image.bytesPerLine() / 4);
    auto* bits = reinterpret_cast<quint32*>(image.bits());
    QList<quint32> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            boxPass(bits + y * stride, w, 1, r, scratch);
        for (int x = 0; x < w; ++x)
            boxPass(bits + x, h, stride, r, scratch);
    }
}

} // namespace tavrine::nudge

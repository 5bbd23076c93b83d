#include "tavrine/ocr/PixelKey.h"

#include <QHashFunctions>

namespace tavrine {

PixelKey PixelKey::of(const QImage& grey, QRect rect) {
    rect = rect.intersected(grey.rect());
    PixelKey key;
    key.width = rect.width();
    key.height = rect.height();
    // Fixed seeds: the keys only ever meet keys of the same process.
    size_t first = 0x9e3779b97f4a7c15ULL;
    size_t second = 0xc2b2ae3d27d4eb4fULL;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y) + rect.left();
        first = qHashBits(row, size_t(rect.width()), first);
        second = qHashBits(row, size_t(rect.width()), second ^ 0x5851f42d4c957f2dULL);
    }
    key.first = first;
    key.second = second;
    return key;
}

PixelKey PixelKey::ofImage(const QImage& image) {
    PixelKey key;
    key.width = image.width();
    key.height = image.height();
    // The bytes that hold pixels: the padding at the end of a scan line is not part of the picture.
    const size_t bytes = (size_t(image.width()) * size_t(image.depth()) + 7) / 8;
    size_t first = 0x243f6a8885a308d3ULL ^ (size_t(image.format()) * 0x9e3779b97f4a7c15ULL);
    size_t second = 0x13198a2e03707344ULL ^ (size_t(image.format()) * 0xc2b2ae3d27d4eb4fULL);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        first = qHashBits(row, bytes, first);
        second = qHashBits(row, bytes, second ^ 0x5851f42d4c957f2dULL);
    }
    key.first = first;
    key.second = second;
    return key;
}

} // namespace tavrine

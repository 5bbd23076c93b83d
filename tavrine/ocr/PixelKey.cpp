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

} // namespace tavrine

#include "tavrine/capture/CropEncoder.h"

#include "tavrine/model/ImageData.h"

#include <cstring>

namespace tavrine::capture {

namespace {

// The same format, size and pixel bytes, compared row by row (QImage's own comparison goes pixel by pixel for
// opaque formats and costs twice as much on a window). Bytes a format leaves undefined count too: two images
// that differ only there are taken as different, which costs an encoding and never reuses a wrong one.
bool samePixels(const QImage& a, const QImage& b) {
    if (a.format() != b.format() || a.size() != b.size() || a.colorTable() != b.colorTable())
        return false;
    if (a.constBits() == b.constBits() && a.bytesPerLine() == b.bytesPerLine())
        return true;
    const auto bytes = size_t((qsizetype(a.width()) * a.depth() + 7) / 8);
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), bytes) != 0)
            return false;
    }
    return true;
}

} // namespace

CropEncoder::Encoded CropEncoder::encode(const QImage& crop) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_last.crop.isNull() && samePixels(m_last.crop, crop))
            return m_last;
    }
    Encoded encoded{PngBytes::encoding(crop), imageFingerprint(crop), crop};
    std::lock_guard lock(m_mutex);
    m_last = encoded;
    return encoded;
}

} // namespace tavrine::capture

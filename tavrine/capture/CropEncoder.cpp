#include "tavrine/capture/CropEncoder.h"

#include "tavrine/model/ImageData.h"

namespace tavrine::capture {

CropEncoder::Encoded CropEncoder::encode(const QImage& crop) {
    // The key covers size, format and the bytes that hold pixels; an indexed image's colours are compared apart.
    Seen seen{PixelKey::ofImage(crop), crop.colorTable(), QString()};
    {
        std::lock_guard lock(m_mutex);
        if (m_last && m_last->key == seen.key && m_last->colours == seen.colours)
            return {PngBytes::encoding(crop), m_last->fingerprint, crop};
    }
    seen.fingerprint = imageFingerprint(crop);
    Encoded encoded{PngBytes::encoding(crop), seen.fingerprint, crop};
    std::lock_guard lock(m_mutex);
    m_last = std::move(seen);
    return encoded;
}

} // namespace tavrine::capture

#include "tavrine/capture/CropEncoder.h"

#include "tavrine/model/ImageData.h"

namespace tavrine::capture {

CropEncoder::Encoded CropEncoder::encode(const QImage& crop) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_last.isNull() && m_last == crop)
            return m_encoded;
    }
    Encoded encoded{encodeImageData(crop), imageFingerprint(crop)};
    std::lock_guard lock(m_mutex);
    m_last = crop;
    m_encoded = encoded;
    return encoded;
}

} // namespace tavrine::capture

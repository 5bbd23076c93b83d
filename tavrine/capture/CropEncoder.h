#pragma once

#include "tavrine/model/PngBytes.h"
#include "tavrine/ocr/PixelKey.h"

#include <QImage>
#include <QList>
#include <QString>

#include <mutex>
#include <optional>

namespace tavrine::capture {

// The PNG and the fingerprint of a capture's crop. The PNG is encoded only when someone reads its bytes. A window
// that did not change gives a crop with exactly the same pixels as the last one: its fingerprint is then reused.
// Only an exact match of the pixels' key counts. No pixels are kept from one crop to the next: the last crop
// would hold a window's worth of memory between captures. Thread-safe.
class CropEncoder {
public:
    struct Encoded {
        PngBytes png;
        QString fingerprint;
        // The crop to hand on to the text reader.
        QImage crop;
    };
    Encoded encode(const QImage& crop);

private:
    struct Seen {
        PixelKey key;
        QList<QRgb> colours;
        QString fingerprint;
    };
    std::mutex m_mutex;
    std::optional<Seen> m_last;
};

} // namespace tavrine::capture

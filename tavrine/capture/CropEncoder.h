#pragma once

#include "tavrine/model/PngBytes.h"

#include <QImage>
#include <QString>

#include <mutex>

namespace tavrine::capture {

// The PNG and the fingerprint of a capture's crop. The PNG is encoded only when someone reads its bytes. A window
// that did not change gives a crop with exactly the same pixels as the last one: its PNG and fingerprint are then
// reused. Only an exact pixel match counts. Thread-safe.
class CropEncoder {
public:
    struct Encoded {
        PngBytes png;
        QString fingerprint;
        // The crop to hand on: the last one when the pixels are the same, so that the stages after this one (the
        // text reader) know it for the image they saw before without looking at its pixels again.
        QImage crop;
    };
    Encoded encode(const QImage& crop);

private:
    std::mutex m_mutex;
    Encoded m_last;
};

} // namespace tavrine::capture
